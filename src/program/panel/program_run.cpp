#include "program/panel/program_run.h"

#include "base/clock.h"
#include "base/time_text.h"
#include "link/controller.h"
#include "link/line.h"
#include "mainpanel/ids/main_panel.h"
#include "mainpanel/mode_view.h"
#include "mainpanel/write_report.h"
#include "panelkit/status_message.h"
#include "params/mode_write.h"
#include "program/help_texts.h"
#include "program/mode_polls.h"
#include "program/panel/control_mode.h"
#include "program/panel/exit_question.h"
#include "program/panel/ids/step_program_panel.h"
#include "program/panel/run_view.h"
#include "program/panel/step_panel.h"
#include "program/srp_format.h"
#include "runs/open_runs.h"
#include "runs/run_store.h"

namespace mainIds = MainPanel;
namespace ids = StepProgramPanel;

namespace {

void setStatusTimer(bool on) {
    SetCtrlAttribute(StepProgramPanel::handle, ids::statusTimer, ATTR_ENABLED, on ? 1 : 0);
}

// The program owns the mode: nothing else on the main panel may change it.
// The ring shows it, dimmed, until the program ends, and the status poll
// follows the run.
void showProgramRunning() {
    SetCtrlVal(StepProgramPanel::handle, ids::runSwitch, 1);
    const int p = MainPanel::handle;
    SetCtrlVal(p, mainIds::modeRing, codeOf(ControlMode::program));
    SetCtrlAttribute(p, mainIds::modeRing, ATTR_DIMMED, 1);
    showModeControls(ControlMode::program);
    setStatusTimer(true);
}

std::string storePort(const Controller& c) {
    return portName(c.line().comPort());
}

// The record of a run started here holds the table the panel knows the
// controller to hold, and says where that knowledge came from. The run
// switch itself sends nothing else: the start is not delayed to read it.
void beginRecord(StepProgramView& view) {
    const Controller& c = view.controller;
    const auto& known = view.inController;
    std::string table, origin;
    if (known && known->digits == c.scale().digits()) {
        table = formatSrp(known->program);
        origin = std::string("its table as ") + (known->written ? "written to" : "read from") +
                 " the controller at " + clockTextAt(known->at);
    } else {
        origin = "its table is not known here: it was not read whole from the controller, or "
                 "the decimal point changed since";
    }
    auto opened = StepRunRecord::begin(runStorePath(), storePort(c), c.controllerId(), table,
                                       wallSeconds(), origin);
    view.record.reset();
    if (auto* why = std::get_if<std::string>(&opened)) {
        showStatus("step program running, unrecorded: " + *why);
        return;
    }
    view.record = std::move(std::get<std::unique_ptr<StepRunRecord>>(opened));
    if (!view.record->storeNotice().empty()) MessagePopup("Run store", view.record->storeNotice());
}

// The run is over: its record ends as the panel saw it end.
void endRecord(StepProgramView& view, RunOutcome outcome, const std::string& text) {
    if (!view.record) return;
    std::string why;
    if (!view.record->end(wallSeconds(), outcome, text, &why))
        showStatus("the step program's end is unrecorded: " + why);
    view.record.reset();
}

// The run switch's writes take no guard and no preparation. The panel
// follows only a mode the controller confirmed; otherwise the switch goes
// back and the main panel keeps showing the mode the controller is in.
void startProgram(StepProgramView& view) {
    const Outcome outcome = writeControlMode(view.controller, ControlMode::program);
    if (!outcome.ok()) {
        SetCtrlVal(StepProgramPanel::handle, ids::runSwitch, 0);
        reportModeWrite(outcome, ControlMode::program);
        return;
    }
    showProgramRunning();
    beginRunView(view);
    beginRecord(view);
}

// The controller is Off with no program running: the switch, the segment
// lights and the status poll stop, and the operator gets the mode ring back.
void showProgramStopped(StepProgramView& view, RunOutcome outcome, const std::string& text) {
    SetCtrlVal(StepProgramPanel::handle, ids::runSwitch, 0);
    setStatusTimer(false);
    showRunningSegment(-1);
    endRunView(view.run);
    endRecord(view, outcome, text);
    SetCtrlVal(MainPanel::handle, mainIds::modeRing, codeOf(ControlMode::off));
    showModeControls(ControlMode::off);
    SetCtrlAttribute(MainPanel::handle, mainIds::modeRing, ATTR_DIMMED, 0);
}

// The controller says its program no longer runs. It ran to its end when
// this panel last saw it in the plan's last step; else it was stopped at
// the controller or by another tool.
void showProgramOver(StepProgramView& view) {
    const RunWatch& run = view.run;
    const bool inLastStep = run.active && run.plan.complete && !run.plan.visits.empty() &&
                            run.visit == int(run.plan.visits.size()) - 1;
    if (inLastStep)
        showProgramStopped(view, RunOutcome::completed,
                           "completed: the program ended in its last step");
    else
        showProgramStopped(view, RunOutcome::stopped,
                           "stopped: the program ended before its last step, at the controller "
                           "or from another program");
}

void stopProgram(StepProgramView& view) {
    const Outcome outcome = writeControlMode(view.controller, ControlMode::off);
    if (!outcome.ok()) {
        // The program may well be running on: the switch and the status
        // poll stay with it.
        SetCtrlVal(StepProgramPanel::handle, ids::runSwitch, 1);
        reportModeWrite(outcome, ControlMode::off);
        return;
    }
    showProgramStopped(view, RunOutcome::stopped, "stopped: from the step program panel");
}

} // namespace

void followRunningProgram(StepProgramView& view) {
    Controller& c = view.controller;
    const std::optional<RunStatus> status = pollRunStatus(c, ids::kSegments);
    // No answer says nothing; a program that is not running is what the
    // panel shows unless it follows one, whose end its own poll will see.
    if (!status || !status->running) return;
    // Started at the controller's keys, or while this panel was closed: the
    // controller runs its program, so its mode is Program.
    c.noteMode(ControlMode::program);
    // A run `q7 program run` started, or this panel before it was closed,
    // goes on in its record.
    if (!view.record) {
        auto opened = StepRunRecord::following(runStorePath(), storePort(c), c.controllerId());
        if (auto* record = std::get_if<std::unique_ptr<StepRunRecord>>(&opened))
            view.record = std::move(*record);
    }
    showProgramRunning();
    showRunningSegment(status->segment);
    showRunStatus(view, *status);
}

int StartStopSrp(StepProgramView& view, int, CtrlId, int event) {
    if (event != EVENT_COMMIT) return 0;
    int on = 0;
    GetCtrlVal(StepProgramPanel::handle, ids::runSwitch, &on);
    if (on)
        startProgram(view);
    else
        stopProgram(view);
    return 0;
}

int ChkSrpOff(StepProgramView& view, int, CtrlId, int event) {
    if (event != EVENT_TIMER_TICK) return 0;
    // The program was stopped meanwhile: there is nothing left to watch.
    if (!TimerRunning(StepProgramPanel::handle, ids::statusTimer)) return 0;
    const std::optional<RunStatus> status = pollRunStatus(view.controller, ids::kSegments);
    if (!status) return 0;
    showRunningSegment(-1);
    if (status->running) {
        showRunningSegment(status->segment);
        showRunStatus(view, *status);
        return 0;
    }
    if (status->idle) showProgramOver(view);
    return 0;
}

int ChkStep(StepProgramView& view, int, CtrlId, int event) {
    if (event != EVENT_COMMIT) return 0;
    applyChainCascade();
    showProfile(view);
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

int ExitScriptWin(StepProgramView& view, int, CtrlId, int event) {
    if (event != EVENT_COMMIT) return 0;
    Controller& c = view.controller;
    const std::optional<ControlMode> held = readControlMode(c);
    if (held != ControlMode::off) {
        const ExitChoice choice = askBeforeOff(held);
        if (choice == ExitChoice::stay) return 0;
        if (choice == ExitChoice::keepMode) {
            // Whatever runs goes on; a running program is still watched.
            HidePanel(StepProgramPanel::handle);
            return 0;
        }
    }
    // A program that may still be running keeps its panel in view.
    if (!TurnEnableOff(c)) return 0;
    // Off ends a running program too; the main panel shows it at once.
    showProgramStopped(view, RunOutcome::stopped,
                       "stopped: switched Off on leaving the step program panel");
    HidePanel(StepProgramPanel::handle);
    return 0;
}
