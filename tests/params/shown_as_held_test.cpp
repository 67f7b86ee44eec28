// The main panel shows what the controller holds, also where its rings or
// entries have no place for it.
#include "params/ids/main_panel.h"
#include "params/params_state.h"
#include "pid/ids/pid_panel.h"
#include "runtime/panel_handles.h"
#include "runtime/ring.h"
#include "support/controller_fixture.h"
#include "support/gui_fixture.h"

#include <QStandardItemModel>

namespace {

class ShownAsHeld : public ControllerTest {};

TEST_F(ShownAsHeld, SensorCodeOutsideTheTableShowsAsItselfUntilAnItemIsPicked) {
    sim->setReg(0x1C, 99);
    connect(1);
    std::string text;
    int code = 0;
    GetCtrlVal(gPanels.main, MainPanel::sensorRing, &text);
    GetCtrlVal(gPanels.main, MainPanel::sensorRing, &code);
    EXPECT_EQ(text, "99 (unknown)");
    EXPECT_EQ(code, 99) << "a save keeps the controller's code";
    EXPECT_EQ(gParams.parmRecord.sensorType, 99);

    // The operator picks a real sensor: it is written and the stand-in goes.
    auto* ring = qobject_cast<Ring*>(controlWidget(gPanels.main, MainPanel::sensorRing));
    ASSERT_NE(ring, nullptr);
    const int items = ring->count();
    ring->setCurrentIndex(ring->indexOfCode(5));
    sim->clearRequestLog();
    commit(gPanels.main, MainPanel::sensorRing);
    ASSERT_EQ(sim->requestLog().size(), 1u);
    EXPECT_EQ(sim->requestLog()[0].substr(0, 17), "01 06 00 1C 00 05");
    EXPECT_EQ(sim->reg(0x1C), 5);
    EXPECT_EQ(ring->count(), items - 1);
    EXPECT_EQ(ring->indexOfCode(99), -1);
}

TEST_F(ShownAsHeld, CycleTimeOutsideItsEntryRangeShowsAsReadOnBothPanels) {
    sim->setReg(0x17, 0);
    connect(1);
    commit(gPanels.main, MainPanel::pidButton); // reads the PID block, 0x17 with it
    int mainValue = -1, pidValue = -1;
    std::string mainText;
    GetCtrlVal(gPanels.main, MainPanel::cycleTimeNumeric, &mainValue);
    GetCtrlVal(gPanels.main, MainPanel::cycleTimeNumeric, &mainText);
    GetCtrlVal(gPanels.pid, PidPanel::cycleTimeNumeric, &pidValue);
    EXPECT_EQ(mainValue, 0);
    EXPECT_EQ(mainText, "0 s");
    EXPECT_EQ(pidValue, 0);
    double lowest = 0;
    GetCtrlAttribute(gPanels.main, MainPanel::cycleTimeNumeric, ATTR_MIN_VALUE, &lowest);
    EXPECT_EQ(lowest, 1) << "the entry's own range is kept";

    sim->setReg(0x17, 45);
    commit(gPanels.pid, PidPanel::readButton);
    GetCtrlVal(gPanels.main, MainPanel::cycleTimeNumeric, &mainValue);
    EXPECT_EQ(mainValue, 45);
}

} // namespace
