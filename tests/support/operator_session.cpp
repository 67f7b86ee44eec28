#include "support/operator_session.h"

#include "chart/panel/ids/chart_panel.h"
#include "mainpanel/ids/main_panel.h"
#include "pid/panel/ids/pid_panel.h"
#include "program/panel/ids/step_program_panel.h"
#include "service/ids/debug_panel.h"
#include "support/gui_fixture.h"

namespace {

namespace M = MainPanel;
namespace sp = StepProgramPanel;
namespace D = DebugPanel;

void commit(int panel, CtrlId control) {
    postCommit(panel, control);
    waitIdle();
}

// One tick of a running timer whose own interval is too long to fire during
// the session; a stopped timer's tick sends nothing by design.
void tickOnce(int panel, CtrlId timer) {
    SetCtrlAttribute(panel, timer, ATTR_INTERVAL, 3600.0);
    SetCtrlAttribute(panel, timer, ATTR_ENABLED, 1);
    postTick(panel, timer);
    waitIdle();
    SetCtrlAttribute(panel, timer, ATTR_ENABLED, 0);
}

void debugSend(int function, int regHigh, int regLow, int data1, int data2) {
    SetCtrlVal(DebugPanel::handle, D::idEntry, 1);
    SetCtrlVal(DebugPanel::handle, D::functionEntry, function);
    commit(DebugPanel::handle, D::functionEntry);
    SetCtrlVal(DebugPanel::handle, D::regHighEntry, regHigh);
    SetCtrlVal(DebugPanel::handle, D::regLowEntry, regLow);
    if (function == 6) {
        SetCtrlVal(DebugPanel::handle, D::data1Entry, data1);
        SetCtrlVal(DebugPanel::handle, D::data2Entry, data2);
    }
    commit(DebugPanel::handle, D::sendButton);
}

} // namespace

void runOperatorSession(PopupScript& popups, const std::string& workDir,
                        const OperatorSessionHooks& hooks) {
    auto step = [&](const char* heading) {
        waitIdle();
        hooks.step(heading);
    };
    SetCtrlVal(MainPanel::handle, M::idNumeric, 1);
    SetCtrlVal(MainPanel::handle, M::portSelector, 3);
    commit(MainPanel::handle, M::portSelector);
    step("connect: probe, then the 26 parameters");

    setValueAndCommit(MainPanel::handle, M::svEntry, 30.0);
    step("set value 30.0");

    setValueAndCommit(MainPanel::handle, M::modeRing, 4);
    step("mode Manual");
    SetCtrlVal(MainPanel::handle, M::outputLevelNumeric, 55.5);
    commit(MainPanel::handle, M::outputSetButton);
    step("output level 55.5");
    setValueAndCommit(MainPanel::handle, M::modeRing, 1);
    step("mode On");
    setValueAndCommit(MainPanel::handle, M::modeRing, 0);
    step("mode Off");

    popups.files.push_back({VAL_NEW_FILE_SELECTED, workDir + "/backup.prm"});
    commit(MainPanel::handle, M::saveFileButton);
    step("save the parameters: the PID block, not read yet");
    popups.files.push_back({VAL_EXISTING_FILE_SELECTED, workDir + "/backup.prm"});
    popups.buttons.push_back(1); // send it, whatever it changes
    commit(MainPanel::handle, M::loadFileButton);
    step("restore the saved parameters: 26 writes, then 26 reads");

    hooks.reportRunning();
    commit(MainPanel::handle, M::stepProgramButton);
    SetCtrlAttribute(StepProgramPanel::handle, sp::statusTimer, ATTR_ENABLED, 0);
    step("open the step program panel");
    SetCtrlVal(StepProgramPanel::handle, sp::stepSv[0], 80.0);
    SetCtrlVal(StepProgramPanel::handle, sp::time1[0], 5);
    commit(StepProgramPanel::handle, sp::saveCtrlButton);
    step("write the step program");
    setValueAndCommit(StepProgramPanel::handle, sp::bandEntry, 2.5);
    step("band 2.5");

    commit(MainPanel::handle, M::pidButton);
    step("open the PID panel");
    SetCtrlVal(PidPanel::handle, PidPanel::pid11Numeric, 7.5);
    commit(PidPanel::handle, PidPanel::writeButton);
    step("write the PID block");

    debugSend(3, 0x10, 0x01, 0, 0);
    step("debug read 0x1001");
    debugSend(6, 0x00, 0x00, 0x01, 0x2C);
    step("debug write 0x0000 = 0x012C");

    for (CtrlId timer : {M::pvPollTimer, M::alarmTimer})
        tickOnce(MainPanel::handle, timer);
    step("PV poll and alarm poll");
    setValueAndCommit(MainPanel::handle, M::modeRing, 2);
    tickOnce(MainPanel::handle, M::autoTuneTimer);
    step("mode AT1 and one auto-tune poll");
    tickOnce(StepProgramPanel::handle, sp::statusTimer);
    step("program status poll");
    tickOnce(ChartPanel::handle, ChartPanel::chartTimer);
    step("chart tick");

    popups.buttons.push_back(1);
    commit(MainPanel::handle, M::exitButton);
    step("controlled exit while a function runs: status, then Off");
}
