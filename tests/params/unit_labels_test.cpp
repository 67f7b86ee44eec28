// Every value with a unit names it, as the controller's unit and time-unit
// registers say, and follows them when the operator changes them.
#include "mainpanel/ids/main_panel.h"
#include "params/params_state.h"
#include "program/panel/ids/step_program_panel.h"
#include "support/controller_fixture.h"
#include "support/gui_fixture.h"

#include <QAbstractSpinBox>
#include <QDoubleSpinBox>

namespace {

namespace M = MainPanel;

QString suffixOf(int panel, CtrlId c) {
    auto* d = qobject_cast<QDoubleSpinBox*>(controlWidget(panel, c));
    return d ? d->suffix() : QString("(not a real entry)");
}

class UnitLabels : public ControllerTest {
  protected:
    void enter(CtrlId ring, int code) {
        SetCtrlVal(MainPanel::handle, ring, code);
        commit(MainPanel::handle, ring);
    }
};

} // namespace

TEST_F(UnitLabels, TemperaturesAndTheRampFollowTheUnitAndTimeRings) {
    EXPECT_EQ(suffixOf(MainPanel::handle, M::svEntry), "")
        << "no unit before the controller says one";
    sim->setReg(0x20, 0); // °C
    sim->setReg(0x26, 1); // HH:MM
    connect(1);
    for (CtrlId c : {M::pvDisplay, M::svEntry, M::hiLimitNumeric, M::loLimitNumeric,
                     M::pvOffsetNumeric, M::alarmSetPointNumeric, M::hysteresisNumeric})
        EXPECT_EQ(suffixOf(MainPanel::handle, c), " °C") << c;
    EXPECT_EQ(suffixOf(StepProgramPanel::handle, StepProgramPanel::stepSv[3]), " °C");
    EXPECT_EQ(suffixOf(MainPanel::handle, M::rampRateNumeric), " °C/min");
    EXPECT_EQ(suffixOf(MainPanel::handle, M::swFilterNumeric), "") << "a filter is no temperature";

    popups.buttons.push_back(1); // yes, change the unit
    enter(M::unitRing, 1);
    EXPECT_EQ(sim->reg(0x20), 1);
    EXPECT_EQ(suffixOf(MainPanel::handle, M::svEntry), " °F");
    enter(M::timeUnitRing, 0);
    EXPECT_EQ(suffixOf(MainPanel::handle, M::rampRateNumeric), " °F/s");

    // A refused change leaves the unit the controller keeps.
    sim->exceptionNext(3);
    popups.buttons.push_back(1);
    enter(M::unitRing, 0);
    EXPECT_EQ(suffixOf(MainPanel::handle, M::svEntry), " °F");
}

TEST_F(UnitLabels, AnUnknownUnitIsNamedAsItsCode) {
    sim->setReg(0x20, 7);
    connect(1);
    EXPECT_EQ(suffixOf(MainPanel::handle, M::svEntry), " (unit code 7)");
}
