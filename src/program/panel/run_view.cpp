#include "program/panel/run_view.h"

#include "base/clock.h"
#include "base/number_text.h"
#include "link/registers.h"
#include "mainpanel/ids/main_panel.h"
#include "panelkit/profile_plot_calls.h"
#include "panelkit/status_message.h"
#include "params/params_state.h"
#include "params/unit_labels.h"
#include "program/panel/ids/step_program_panel.h"
#include "program/panel/step_panel.h"
#include "program/run_timeline.h"
#include "widgets/no_value.h"

#include <chrono>

namespace ids = StepProgramPanel;

namespace {

double secondsSince(Clock::TimePoint t) {
    return std::chrono::duration<double>(lineClock().now() - t).count();
}

// Times in the table count in the controller's unit; an unknown unit is
// drawn as seconds rather than not at all.
Timeline planFromTable(Controller& c, const StepProgram& program) {
    const int code = c.isHeld(reg::timeUnit) ? c.parmRecord.ptme : 0;
    return planRun(program, secondsPerCount(code).value_or(1.0));
}

// The main panel's PV, while its poll keeps it current (grey: not read now).
std::optional<double> currentPv() {
    const int m = MainPanel::handle;
    double dimmed = 0;
    std::string text;
    GetCtrlAttribute(m, MainPanel::pvDisplay, ATTR_DIMMED, &dimmed);
    GetCtrlVal(m, MainPanel::pvDisplay, &text);
    if (dimmed != 0 || text.empty() || text.find(kNoValueText) != std::string::npos)
        return std::nullopt;
    double pv = 0;
    GetCtrlVal(m, MainPanel::pvDisplay, &pv);
    return pv;
}

std::string shownText(int panel, CtrlId control) {
    std::string text;
    GetCtrlVal(panel, control, &text);
    return text;
}

void showValues(bool pvCurrent) {
    const std::string pv = pvCurrent ? shownText(MainPanel::handle, MainPanel::pvDisplay)
                                     : std::string("not read now");
    SetCtrlVal(StepProgramPanel::handle, ids::runValuesText,
               "PV " + pv + "    SV " + shownText(MainPanel::handle, MainPanel::svEntry));
}

// PV and SV as the main panel's poll read them go into the run's record.
// A record that fails is told once and given up; the run goes on.
void recordSample(StepProgramView& view, std::optional<double> pv) {
    if (!view.record || !pv) return;
    double sv = 0;
    GetCtrlVal(MainPanel::handle, MainPanel::svEntry, &sv);
    std::string why;
    if (view.record->sample(wallSeconds(), pv, sv, &why)) return;
    showStatus("the step program's record stopped: " + why);
    view.record.reset();
}

std::string timeText(double seconds) {
    return durationText(seconds).toStdString();
}

std::string timesText(const RunTimes& t, const Timeline& plan) {
    std::string text = "Step: " + timeText(t.stepElapsed) + " elapsed, ";
    text += t.stepRemaining > 0 ? timeText(t.stepRemaining) + " to go"
                                : std::string("time is up, waiting for PV to reach the band");
    text += "    Program: " + timeText(t.programElapsed) + " elapsed, ";
    if (t.programRemaining)
        text += timeText(*t.programRemaining) + " to go";
    else if (plan.endless)
        text += "runs until stopped";
    else // more loops than the plan unrolls
        text += "more than " + timeText(plan.visits.back().end() - t.planPosition) + " to go";
    return text;
}

void drawPlot(const RunWatch& run, std::optional<double> marker) {
    ProfileView view{{}, run.pv, marker};
    for (const ProfilePoint& point : profilePoints(run.program, run.plan, run.startSv))
        view.sv.emplace_back(point.seconds, point.sv);
    ShowProfilePlot(StepProgramPanel::handle, ids::profilePlot, std::move(view));
}

} // namespace

void showProfile(StepProgramView& view) {
    RunWatch& run = view.run;
    if (run.active) return; // the run keeps the program it started with
    run.program = readProgramFromPanel();
    run.plan = planFromTable(view.controller, run.program);
    run.startSv = currentPv().value_or(run.program.steps[0].stepSv);
    run.pv.clear();
    drawPlot(run, std::nullopt);
}

void beginRunView(StepProgramView& view) {
    RunWatch& run = view.run;
    run.active = false;
    showProfile(view);
    run.active = true;
    run.visit = -1;
    run.segment = -1;
    run.segmentStart = lineClock().now();
    SetCtrlVal(StepProgramPanel::handle, ids::runPositionText, std::string("Program started"));
    SetCtrlVal(StepProgramPanel::handle, ids::runTimesText, std::string());
}

void showRunStatus(StepProgramView& view, const RunStatus& status) {
    Controller& c = view.controller;
    RunWatch& run = view.run;
    // Started before this panel followed it (the panel was closed and opened).
    if (!run.active) beginRunView(view);
    const std::optional<double> pv = currentPv();
    showValues(pv.has_value());
    const int p = StepProgramPanel::handle;
    if (status.segment < 0) {
        SetCtrlVal(p, ids::runPositionText,
                   std::string("Running; the controller names no segment"));
        return;
    }
    const int step = status.segment / 2, ofStep = status.segment % 2;
    // A ramp seen anew is a new pass through its step, a loop to itself too.
    const bool restarted = ofStep == 0 && status.segment != run.segment;
    if (status.segment != run.segment) run.segmentStart = lineClock().now();
    run.segment = status.segment;
    run.visit = followVisit(run.plan, run.visit, step, restarted)
                    .value_or(followVisit(run.plan, -1, step, true).value_or(0));
    const RunTimes t = runTimes(run.plan, run.visit, ofStep, secondsSince(run.segmentStart));
    const double sv = run.program.steps[std::size_t(step)].stepSv;
    SetCtrlVal(p, ids::runPositionText,
               "Step " + formatWhole(step) + ", segment " + formatWhole(status.segment) +
                   (ofStep == 0 ? ": ramp to " : ": soak at ") +
                   formatFixed(sv, c.scale().digits()) + degreesSuffix(c));
    SetCtrlVal(p, ids::runTimesText, timesText(t, run.plan));
    if (pv) run.pv.push_back({t.planPosition, *pv});
    drawPlot(run, t.planPosition);
    recordSample(view, pv);
}

void endRunView(RunWatch& run) {
    if (!run.active) return;
    run.active = false;
    SetCtrlVal(StepProgramPanel::handle, ids::runPositionText, std::string("Not running"));
    SetCtrlVal(StepProgramPanel::handle, ids::runValuesText, std::string());
    // The last run's PV stays over its profile until the table changes.
    drawPlot(run, std::nullopt);
}

int DrawProfile(StepProgramView& view, int, CtrlId, int event) {
    if (event == EVENT_COMMIT) showProfile(view);
    return 0;
}
