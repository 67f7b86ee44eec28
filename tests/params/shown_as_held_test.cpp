// The main panel shows what the controller holds, also where its rings or
// entries have no place for it.
#include "chart/panel/ids/chart_panel.h"
#include "mainpanel/ids/main_panel.h"
#include "params/params_state.h"
#include "pid/panel/ids/pid_panel.h"
#include "service/ids/debug_panel.h"
#include "support/controller_fixture.h"
#include "support/gui_fixture.h"
#include "widgets/ring.h"

#include <QStandardItemModel>

namespace {

class ShownAsHeld : public ControllerTest {};

TEST_F(ShownAsHeld, SensorCodeOutsideTheTableShowsAsItselfUntilAnItemIsPicked) {
    sim->setReg(0x1C, 99);
    connect(1);
    std::string text;
    int code = 0;
    GetCtrlVal(MainPanel::handle, MainPanel::sensorRing, &text);
    GetCtrlVal(MainPanel::handle, MainPanel::sensorRing, &code);
    EXPECT_EQ(text, "99 (unknown)");
    EXPECT_EQ(code, 99) << "a save keeps the controller's code";
    EXPECT_EQ(controller().parmRecord.sensorType, 99);

    // The operator picks a real sensor: it is written and the stand-in goes.
    auto* ring = qobject_cast<Ring*>(controlWidget(MainPanel::handle, MainPanel::sensorRing));
    ASSERT_NE(ring, nullptr);
    const int items = ring->count();
    ring->setCurrentIndex(ring->indexOfCode(5));
    sim->clearRequestLog();
    commit(MainPanel::handle, MainPanel::sensorRing);
    ASSERT_EQ(sim->requestLog().size(), 1u);
    EXPECT_EQ(sim->requestLog()[0].substr(0, 17), "01 06 00 1C 00 05");
    EXPECT_EQ(sim->reg(0x1C), 5);
    EXPECT_EQ(ring->count(), items - 1);
    EXPECT_EQ(ring->indexOfCode(99), -1);
}

TEST_F(ShownAsHeld, CycleTimeOutsideItsEntryRangeShowsAsReadOnBothPanels) {
    sim->setReg(0x17, 0);
    connect(1);
    commit(MainPanel::handle, MainPanel::pidButton); // reads the PID block, 0x17 with it
    int mainValue = -1, pidValue = -1;
    std::string mainText;
    GetCtrlVal(MainPanel::handle, MainPanel::cycleTimeNumeric, &mainValue);
    GetCtrlVal(MainPanel::handle, MainPanel::cycleTimeNumeric, &mainText);
    GetCtrlVal(PidPanel::handle, PidPanel::cycleTimeNumeric, &pidValue);
    EXPECT_EQ(mainValue, 0);
    EXPECT_EQ(mainText, "0 s");
    EXPECT_EQ(pidValue, 0);
    double lowest = 0;
    GetCtrlAttribute(MainPanel::handle, MainPanel::cycleTimeNumeric, ATTR_MIN_VALUE, &lowest);
    EXPECT_EQ(lowest, 1) << "the entry's own range is kept";

    sim->setReg(0x17, 45);
    commit(PidPanel::handle, PidPanel::readButton);
    GetCtrlVal(MainPanel::handle, MainPanel::cycleTimeNumeric, &mainValue);
    EXPECT_EQ(mainValue, 45);
}

} // namespace

// A write the controller refused or did not confirm leaves its control, and
// the record, with what the controller holds: the value before, or the value
// read back after a lost echo. What it confirmed stays.
namespace {

namespace M = MainPanel;

class RefusedWrite : public ControllerTest {
  protected:
    RefusedWrite() { simOptions.timeScale = 0.0; }
    void SetUp() override {
        ControllerTest::SetUp();
        connect(1);
        popups.shown.clear();
    }
    static std::string text(int panel, CtrlId c) {
        std::string t;
        GetCtrlVal(panel, c, &t);
        return t;
    }
    static std::string mainText(CtrlId c) { return text(MainPanel::handle, c); }
};

} // namespace

TEST_F(RefusedWrite, SetValueShowsTheControllersOwnAndSoDoesTheChart) {
    sim->setReg(0x24,
                10000); // the controller's Hi limit is now 1000.0; the panel still says 1200.0
    typeAndEnter(MainPanel::handle, M::svEntry, "1100");
    EXPECT_EQ(popupTitles(), std::vector<std::string>{"Parameter Error"});
    EXPECT_EQ(sim->reg(0x0000), 250);
    EXPECT_EQ(mainText(M::svEntry), "25.0 °C");
    EXPECT_FLOAT_EQ(controller().parmRecord.sv, 25.0f);

    commit(MainPanel::handle, M::chartButton);
    SetCtrlAttribute(ChartPanel::handle, ChartPanel::chartTimer, ATTR_INTERVAL, 3600.0);
    SetCtrlAttribute(ChartPanel::handle, ChartPanel::chartTimer, ATTR_ENABLED, 1);
    postTick(ChartPanel::handle, ChartPanel::chartTimer);
    ASSERT_TRUE(waitIdle());
    SetCtrlAttribute(ChartPanel::handle, ChartPanel::chartTimer, ATTR_ENABLED, 0);
    EXPECT_EQ(text(ChartPanel::handle, ChartPanel::svIndicator), "25.0 °C");

    // The controller took the value but its echo was lost: read back, it shows.
    popups.shown.clear();
    sim->dropReplies(1);
    typeAndEnter(MainPanel::handle, M::svEntry, "60");
    EXPECT_EQ(popupTitles(), std::vector<std::string>{"Set Value Not Confirmed"});
    EXPECT_EQ(sim->reg(0x0000), 600);
    EXPECT_EQ(mainText(M::svEntry), "60.0 °C");
}

TEST_F(RefusedWrite, OutputLevelShowsTheLevelTheControllerHolds) {
    setValueAndCommit(MainPanel::handle, M::modeRing, 4);
    SetCtrlVal(MainPanel::handle, M::outputLevelNumeric, 40.0);
    commit(MainPanel::handle, M::outputSetButton);
    ASSERT_EQ(sim->reg(0x0002), 400);

    sim->exceptionNext(3);
    SetCtrlVal(MainPanel::handle, M::outputLevelNumeric, 55.5);
    commit(MainPanel::handle, M::outputSetButton);
    EXPECT_EQ(sim->reg(0x0002), 400);
    EXPECT_EQ(mainText(M::outputLevelNumeric), "40.0 %");
    ASSERT_EQ(popups.shown.size(), 1u);
    EXPECT_EQ(popups.shown[0].title, "Output Level Refused");
    EXPECT_NE(popups.shown[0].text.find("exception 03, illegal data value"), std::string::npos);
    EXPECT_FLOAT_EQ(controller().parmRecord.outputLevel, 0.0f)
        << "the record keeps what was read";
}

TEST_F(RefusedWrite, SettersAndRingsGoBackToTheControllersValue) {
    shortenTimeOut();
    sim->exceptionNext(3);
    setValueAndCommit(MainPanel::handle, M::sensorRing, 5);
    EXPECT_EQ(mainText(M::sensorRing), "K");
    EXPECT_EQ(controller().parmRecord.sensorType, 0);

    // Never read, the cycle time goes back to showing no value.
    sim->exceptionNext(3);
    typeAndEnter(MainPanel::handle, M::cycleTimeNumeric, "20");
    EXPECT_EQ(mainText(M::cycleTimeNumeric), "\u2014 s");
    EXPECT_EQ(sim->reg(0x0017), 15);

    sim->exceptionNext(3);
    setValueAndCommit(DebugPanel::handle, DebugPanel::lockRing, 2);
    EXPECT_EQ(text(DebugPanel::handle, DebugPanel::lockRing), "oFF (all keys)");

    // A damaged echo: the controller did take the unit, as the read-back says.
    sim->truncateNext(6);
    popups.buttons.push_back(1); // yes, change the unit
    setValueAndCommit(MainPanel::handle, M::unitRing, 1);
    EXPECT_EQ(sim->reg(0x0020), 1);
    EXPECT_EQ(mainText(M::unitRing), "\u00b0F");
    EXPECT_EQ(controller().parmRecord.unitCF, 1);
    EXPECT_EQ(popupTitles(),
              (std::vector<std::string>{"Parameter Error", "Parameter Error", "Parameter Error",
                                        "Unit Change", "No Confirmation"}));
}

TEST_F(RefusedWrite, GroupKeepsWhatWasConfirmedAndTakesBackTheRest) {
    SetCtrlVal(MainPanel::handle, M::hiLimitNumeric, 1100.0);
    SetCtrlVal(MainPanel::handle, M::loLimitNumeric, -100.0);
    SetCtrlVal(MainPanel::handle, M::pvOffsetNumeric, 1.5);
    SetCtrlVal(MainPanel::handle, M::swFilterNumeric, 0.5);
    // Hi limit confirmed, Lo limit refused, the PV offset's echo lost (it is
    // read back, request 4), the SW filter confirmed.
    const int base = sim->requestCount();
    sim->setRequestHook([&, base](int n) {
        if (n - base == 2) sim->exceptionNext(3);
        if (n - base == 3) sim->dropReplies(1);
    });
    commit(MainPanel::handle, M::optionUpdateButton);
    sim->setRequestHook(nullptr);
    EXPECT_EQ(sim->reg(0x0024), 11000);
    EXPECT_EQ(int16_t(sim->reg(0x0023)), -2000);
    EXPECT_EQ(sim->reg(0x0001), 15);
    EXPECT_EQ(sim->reg(0x0029), 5);
    EXPECT_EQ(mainText(M::hiLimitNumeric), "1100.0 °C");
    EXPECT_EQ(mainText(M::loLimitNumeric), "-200.0 °C");
    EXPECT_EQ(mainText(M::pvOffsetNumeric), "1.5 °C");
    EXPECT_EQ(mainText(M::swFilterNumeric), "0.5");
    EXPECT_FLOAT_EQ(controller().parmRecord.hiLimit, 1100.0f);
    EXPECT_FLOAT_EQ(controller().parmRecord.loLimit, -200.0f);
    EXPECT_FLOAT_EQ(controller().parmRecord.pvOffset, 1.5f);
    EXPECT_EQ(popupTitles(), (std::vector<std::string>{"Parameter Error", "No Confirmation"}));
    // The SV entry's range follows the limits the controller holds.
    double low = 0, high = 0;
    GetCtrlAttribute(MainPanel::handle, M::svEntry, ATTR_MIN_VALUE, &low);
    GetCtrlAttribute(MainPanel::handle, M::svEntry, ATTR_MAX_VALUE, &high);
    EXPECT_DOUBLE_EQ(low, -200.0);
    EXPECT_DOUBLE_EQ(high, 1100.0);

    // A field that shows no value is never sent with its group.
    popups.shown.clear();
    sim->clearRequestLog();
    ClearCtrlVal(MainPanel::handle, M::hysteresisNumeric);
    commit(MainPanel::handle, M::alarmUpdateButton);
    EXPECT_TRUE(sim->requestLog().empty());
    EXPECT_EQ(popupTitles(), std::vector<std::string>{"Entry Refused"});
}

// A value outside the entry's usual range is shown as the controller holds
// it; SET refuses to send a level the operator did not choose.
TEST_F(ShownAsHeld, OutputLevelAboveItsRangeShowsAsReadAndIsNotSent) {
    simOptions.timeScale = 0.0;
    sim->setReg(0x0002, 1500);
    sim->setReg(0x0003, 4);
    connect(1);
    std::string shown;
    GetCtrlVal(MainPanel::handle, MainPanel::outputLevelNumeric, &shown);
    EXPECT_EQ(shown, "150.0 %");
    sim->clearRequestLog();
    commit(MainPanel::handle, MainPanel::outputSetButton);
    EXPECT_TRUE(sim->requestLog().empty());
    ASSERT_EQ(popups.shown.size(), 1u);
    EXPECT_EQ(popups.shown[0].title, "Entry Refused");
    EXPECT_NE(popups.shown[0].text.find("150.0 % is what the controller holds, outside the "
                                        "range of 0.0 to 100.0 %"),
              std::string::npos);

    // A level the operator types within the range goes out.
    typeAndEnter(MainPanel::handle, MainPanel::outputLevelNumeric, "80");
    commit(MainPanel::handle, MainPanel::outputSetButton);
    EXPECT_EQ(sim->reg(0x0002), 800);
}
