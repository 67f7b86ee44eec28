#pragma once
// A controller test with the port to the simulated controller open, as a
// good connection leaves it, without the parameter read that follows one.
#include "link/line.h"
#include "params/params_state.h"
#include "serial/serial_service.h"
#include "support/controller_fixture.h"
#include "support/gui_fixture.h"

class LinkedTest : public ControllerTest {
  protected:
    void SetUp() override {
        // A frozen process: the values the tests set stay put.
        simOptions.timeScale = 0.0;
        ControllerTest::SetUp();
        line().setComPort(kSimPort);
        ASSERT_EQ(line().open(), 0);
        setDecimal(true);
    }
    void setDecimal(bool oneDigit) {
        controller().setScale(Scale::ofDecimalPoint(oneDigit));
    }
    static bool dimmed(int panel, CtrlId control) {
        double v = 0;
        GetCtrlAttribute(panel, control, ATTR_DIMMED, &v);
        return v != 0;
    }
    static bool ticking(int panel, CtrlId timer) {
        double v = 0;
        GetCtrlAttribute(panel, timer, ATTR_ENABLED, &v);
        return v != 0;
    }
};
