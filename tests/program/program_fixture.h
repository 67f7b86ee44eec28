#pragma once
// The step program panel and the mode controls against the simulator.
#include "link/line.h"
#include "mainpanel/ids/main_panel.h"
#include "params/params_state.h"
#include "program/panel/ids/step_program_panel.h"
#include "support/controller_fixture.h"
#include "support/gui_fixture.h"

namespace sp = StepProgramPanel;

class ProgramTest : public ControllerTest {
  protected:
    void SetUp() override {
        ControllerTest::SetUp();
        p = StepProgramPanel::handle;
        m = MainPanel::handle;
    }
    // Connected, with the decimal point on unless told otherwise.
    void connectWithDecimals(bool oneDecimal = true) {
        connect(1);
        ASSERT_TRUE(line().linkUp());
        waitIdle();
        controller().setScale(Scale::ofDecimalPoint(oneDecimal));
        sim->clearRequestLog();
        popups.shown.clear();
    }
    static bool dimmed(int panel, CtrlId c) {
        double v = -1;
        GetCtrlAttribute(panel, c, ATTR_DIMMED, &v);
        return v != 0;
    }
    static bool ticking(int panel, CtrlId timer) {
        double v = -1;
        GetCtrlAttribute(panel, timer, ATTR_ENABLED, &v);
        return v != 0;
    }
    static int value(int panel, CtrlId c) {
        int v = -1;
        GetCtrlVal(panel, c, &v);
        return v;
    }
    static double real(int panel, CtrlId c) {
        double v = -1;
        GetCtrlVal(panel, c, &v);
        return v;
    }
    // The lit segment indicators.
    std::vector<int> litSegments() const {
        std::vector<int> lit;
        for (int s = 0; s < sp::kSegments; ++s)
            if (value(p, sp::segment[s])) lit.push_back(s);
        return lit;
    }
    void setStep(int i, double sv, int t1, int t2, int action, int loops) {
        SetCtrlVal(p, sp::stepSv[i], sv);
        SetCtrlVal(p, sp::time1[i], t1);
        SetCtrlVal(p, sp::time2[i], t2);
        SetCtrlVal(p, sp::action[i], action);
        SetCtrlVal(p, sp::loopCnt[i], loops);
    }
    bool stepEntriesDimmed(int i) const {
        return dimmed(p, sp::stepSv[i]) && dimmed(p, sp::time1[i]) && dimmed(p, sp::time2[i]) &&
               dimmed(p, sp::action[i]);
    }
    bool stepEntriesEnabled(int i) const {
        return !dimmed(p, sp::stepSv[i]) && !dimmed(p, sp::time1[i]) && !dimmed(p, sp::time2[i]) &&
               !dimmed(p, sp::action[i]);
    }

    int p = 0;
    int m = 0;
};
