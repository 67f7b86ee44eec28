#include "program/panel/run_view.h"

#include "base/clock.h"
#include "base/number_text.h"
#include "link/registers.h"
#include "mainpanel/ids/main_panel.h"
#include "panelkit/profile_plot_calls.h"
#include "params/params_state.h"
#include "params/unit_labels.h"
#include "program/panel/ids/step_program_panel.h"
#include "program/panel/step_panel.h"
#include "program/run_timeline.h"
#include "widgets/no_value.h"

#include <chrono>

namespace ids = StepProgramPanel;

namespace {

// The run as this panel follows it; nothing of it goes to the controller.
struct RunWatch {
    bool active = false;
    StepProgram program;
    Timeline plan;
    double startSv = 0.0;
    int visit = -1;
    int segment = -1;
    Clock::TimePoint segmentStart;
    ProfileView::Points pv;
};
RunWatch gRun;

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

void drawPlot(std::optional<double> marker) {
    ProfileView view{{}, gRun.pv, marker};
    for (const ProfilePoint& point : profilePoints(gRun.program, gRun.plan, gRun.startSv))
        view.sv.emplace_back(point.seconds, point.sv);
    ShowProfilePlot(StepProgramPanel::handle, ids::profilePlot, std::move(view));
}

} // namespace

void showProfile(Controller& c) {
    if (gRun.active) return; // the run keeps the program it started with
    gRun.program = readProgramFromPanel();
    gRun.plan = planFromTable(c, gRun.program);
    gRun.startSv = currentPv().value_or(gRun.program.steps[0].stepSv);
    gRun.pv.clear();
    drawPlot(std::nullopt);
}

void beginRunView(Controller& c) {
    gRun.active = false;
    showProfile(c);
    gRun.active = true;
    gRun.visit = -1;
    gRun.segment = -1;
    gRun.segmentStart = lineClock().now();
    SetCtrlVal(StepProgramPanel::handle, ids::runPositionText, std::string("Program started"));
    SetCtrlVal(StepProgramPanel::handle, ids::runTimesText, std::string());
}

void showRunStatus(Controller& c, const RunStatus& status) {
    // Started before this panel followed it (the panel was closed and opened).
    if (!gRun.active) beginRunView(c);
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
    const bool restarted = ofStep == 0 && status.segment != gRun.segment;
    if (status.segment != gRun.segment) gRun.segmentStart = lineClock().now();
    gRun.segment = status.segment;
    gRun.visit = followVisit(gRun.plan, gRun.visit, step, restarted)
                     .value_or(followVisit(gRun.plan, -1, step, true).value_or(0));
    const RunTimes t = runTimes(gRun.plan, gRun.visit, ofStep, secondsSince(gRun.segmentStart));
    const double sv = gRun.program.steps[std::size_t(step)].stepSv;
    SetCtrlVal(p, ids::runPositionText,
               "Step " + formatWhole(step) + ", segment " + formatWhole(status.segment) +
                   (ofStep == 0 ? ": ramp to " : ": soak at ") +
                   formatFixed(sv, c.scale().digits()) + degreesSuffix(c));
    SetCtrlVal(p, ids::runTimesText, timesText(t, gRun.plan));
    if (pv) gRun.pv.push_back({t.planPosition, *pv});
    drawPlot(t.planPosition);
}

void endRunView() {
    if (!gRun.active) return;
    gRun.active = false;
    SetCtrlVal(StepProgramPanel::handle, ids::runPositionText, std::string("Not running"));
    SetCtrlVal(StepProgramPanel::handle, ids::runValuesText, std::string());
    // The last run's PV stays over its profile until the table changes.
    drawPlot(std::nullopt);
}

int DrawProfile(Controller& c, int, CtrlId, int event) {
    if (event == EVENT_COMMIT) showProfile(c);
    return 0;
}
