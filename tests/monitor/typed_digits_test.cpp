// Typed digits are never dropped: a typed value outside its entry's range is
// refused visibly, with the range the entry really has, and nothing follows
// from it: no request, no file, no new interval.
#include "chart/panel/ids/chart_panel.h"
#include "chart/panel/ids/chart_yscale_panel.h"
#include "chart/panel/ids/log_setup_panel.h"
#include "mainpanel/ids/main_panel.h"
#include "program/panel/ids/step_program_panel.h"
#include "support/controller_fixture.h"
#include "support/gui_fixture.h"

namespace {

class TypedDigits : public ControllerTest {
  protected:
    TypedDigits() { simOptions.timeScale = 0.0; }
    void SetUp() override {
        ControllerTest::SetUp();
        connect(1);
        popups.shown.clear();
        sim->clearRequestLog();
    }
    // The one refusal the typing gave, with the field's range in it.
    void expectRefused(const std::string& typed, const std::string& range) {
        ASSERT_EQ(popups.shown.size(), 1u);
        EXPECT_EQ(popups.shown[0].title, "Entry Refused");
        EXPECT_EQ(popups.shown[0].text, "\"" + typed + "\" is outside the range of this field, " +
                                            range + ".\nThe field keeps its value.");
        popups.shown.clear();
    }
    static std::string text(int panel, CtrlId c) {
        std::string t;
        GetCtrlVal(panel, c, &t);
        return t;
    }
};

} // namespace

TEST_F(TypedDigits, SetValueBeyondTheControllersLimitsIsRefusedAndNotSent) {
    typeAndEnter(MainPanel::handle, MainPanel::svEntry, "5000");
    expectRefused("5000", "-200.0 to 1200.0"); // the controller's Lo and Hi limits
    EXPECT_TRUE(sim->requestLog().empty());
    EXPECT_EQ(text(MainPanel::handle, MainPanel::svEntry), "25.0 °C");
    typeAndEnter(MainPanel::handle, MainPanel::svEntry, "1200");
    EXPECT_EQ(sim->lastRequestHex(), "01 06 00 00 2E E0 95 E2");
}

TEST_F(TypedDigits, ChartScaleAndIntervalKeepTheirValues) {
    commit(MainPanel::handle, MainPanel::chartButton);
    commit(ChartPanel::handle, ChartPanel::yScaleButton);
    typeAndEnter(ChartYscalePanel::handle, ChartYscalePanel::pointsNumeric, "2000000");
    expectRefused("2000000", "2 to 1000000");
    commit(ChartYscalePanel::handle, ChartYscalePanel::closeButton);
    EXPECT_FALSE(fileExists("XYscale.txt")) << "nothing changed, nothing saved";

    double interval = 0;
    GetCtrlAttribute(ChartPanel::handle, ChartPanel::chartTimer, ATTR_INTERVAL, &interval);
    commit(ChartPanel::handle, ChartPanel::logSetupButton);
    typeAndEnter(LogSetupPanel::handle, LogSetupPanel::intervalKnob, "5000");
    expectRefused("5000", "0.5 to 3600.0");
    commit(LogSetupPanel::handle, LogSetupPanel::exitButton);
    double after = 0;
    GetCtrlAttribute(ChartPanel::handle, ChartPanel::chartTimer, ATTR_INTERVAL, &after);
    EXPECT_EQ(after, interval);
    EXPECT_TRUE(sim->requestLog().empty());
}

TEST_F(TypedDigits, StepProgramEntriesKeepTheirValues) {
    namespace sp = StepProgramPanel;
    commit(MainPanel::handle, MainPanel::stepProgramButton);
    SetCtrlAttribute(StepProgramPanel::handle, sp::statusTimer, ATTR_ENABLED, 0);
    popups.shown.clear();
    sim->clearRequestLog();
    const std::string sv = text(StepProgramPanel::handle, sp::stepSv[0]);
    typeAndEnter(StepProgramPanel::handle, sp::stepSv[0], "5000");
    expectRefused("5000", "-3276.8 to 3276.7");
    EXPECT_EQ(text(StepProgramPanel::handle, sp::stepSv[0]), sv);
    typeAndEnter(StepProgramPanel::handle, sp::time1[0], "70000");
    expectRefused("70000", "0 to 65535");
    // The band is sent as soon as it is entered: a refused one is not.
    typeAndEnter(StepProgramPanel::handle, sp::bandEntry, "-5");
    expectRefused("-5", "0.0 to 3276.7");
    EXPECT_TRUE(sim->requestLog().empty());
}
