#include "program/program_run.h"

#include "link/link_state.h"
#include "link/transaction.h"
#include "params/mode_write.h"
#include "program/control_mode.h"
#include "program/help_texts.h"
#include "program/poll_decode.h"
#include "program/step_panel.h"
#include "runtime/ids/main_panel.h"
#include "runtime/ids/step_program_panel.h"
#include "runtime/panel_handles.h"

namespace mainIds = MainPanel;
namespace ids = StepProgramPanel;

namespace {

constexpr int kModeOff = 0;
constexpr int kModeProgram = 5;
constexpr uint16_t kRunStatusRegister = 0x1003;

void setStatusTimer(bool on) {
    SetCtrlAttribute(gPanels.stepProgram, ids::statusTimer, ATTR_ENABLED, on ? 1 : 0);
}

// The run switch's writes take no guard and no preparation. The panel
// follows only a mode the controller confirmed; otherwise the switch goes
// back and the main panel keeps showing the mode the controller is in.
void startProgram() {
    const WriteOutcome outcome = writeControlMode(kModeProgram);
    if (outcome != WriteOutcome::Confirmed) {
        SetCtrlVal(gPanels.stepProgram, ids::runSwitch, 0);
        reportModeWrite(outcome, kModeProgram);
        return;
    }
    const int p = gPanels.main;
    // The program owns the mode now: nothing else on the main panel may change it.
    SetCtrlVal(p, mainIds::autoTuneIndicator, 0);
    SetCtrlVal(p, mainIds::outputIndicator, 0);
    SetCtrlVal(p, mainIds::modeRing, 0);
    SetCtrlAttribute(p, mainIds::modeRing, ATTR_DIMMED, 1);
    SetCtrlAttribute(p, mainIds::autoTuneTimer, ATTR_ENABLED, 0);
    SetCtrlAttribute(p, mainIds::outputLevelNumeric, ATTR_DIMMED, 1);
    SetCtrlAttribute(p, mainIds::outputSetButton, ATTR_DIMMED, 1);
    SetCtrlAttribute(p, mainIds::outputLevelNumeric, ATTR_CTRL_MODE, 0);
    setStatusTimer(true);
}

void stopProgram() {
    const WriteOutcome outcome = writeControlMode(kModeOff);
    if (outcome != WriteOutcome::Confirmed) {
        // The program may well be running on: the switch and the status
        // poll stay with it.
        SetCtrlVal(gPanels.stepProgram, ids::runSwitch, 1);
        reportModeWrite(outcome, kModeOff);
        return;
    }
    setStatusTimer(false);
    showRunningSegment(-1);
    SetCtrlAttribute(gPanels.main, mainIds::modeRing, ATTR_DIMMED, 0);
}

} // namespace

int StartStopSrp(int, CtrlId, int event) {
    if (event != EVENT_COMMIT) return 0;
    int on = 0;
    GetCtrlVal(gPanels.stepProgram, ids::runSwitch, &on);
    if (on)
        startProgram();
    else
        stopProgram();
    return 0;
}

int ChkSrpOff(int, CtrlId, int event) {
    if (event != EVENT_TIMER_TICK) return 0;
    Reply reply;
    {
        BusyGuard guard;
        preparation(0.01);
        Frame frame = readTemplate(kRunStatusRegister);
        reply = exchange(frame, gLink.controllerId);
    }
    // Without a whole reply the controller's state is unknown; a lost reply
    // must not be taken for the end of a program that is still running.
    const auto status =
        decodeRunStatus(reply.bytes, reply.count, gLink.controllerId, ids::kSegments);
    if (!status) return 0;
    showRunningSegment(-1);
    if (status->running) {
        showRunningSegment(status->segment);
        return 0;
    }
    if (status->idle) {
        SetCtrlVal(gPanels.main, mainIds::outputIndicator, 0);
        SetCtrlVal(gPanels.main, mainIds::modeRing, 0);
        SetCtrlVal(gPanels.stepProgram, ids::runSwitch, 0);
        setStatusTimer(false);
        // The program is over, so the operator gets the mode ring back.
        SetCtrlAttribute(gPanels.main, mainIds::modeRing, ATTR_DIMMED, 0);
    }
    return 0;
}

int ChkStep(int, CtrlId, int event) {
    if (event == EVENT_COMMIT) applyChainCascade();
    return 0;
}

int GetLoopCnt(int, CtrlId, int) {
    return 0; // the entry itself holds the count until the program is saved
}

int LoopMsg(int, CtrlId, int event) {
    if (event == EVENT_RIGHT_CLICK || event == EVENT_COMMIT)
        MessagePopup(helptext::loopTitle, helptext::loop);
    return 0;
}

int Scrip_Help(int, CtrlId, int event) {
    if (event == EVENT_COMMIT || event == EVENT_RIGHT_CLICK)
        MessagePopup(helptext::programTitle, helptext::program);
    return 0;
}

int ExitScriptWin(int, CtrlId, int event) {
    if (event != EVENT_COMMIT) return 0;
    // A program that may still be running keeps its panel in view.
    if (TurnEnableOff()) HidePanel(gPanels.stepProgram);
    return 0;
}
