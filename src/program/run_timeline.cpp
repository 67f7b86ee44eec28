#include "program/run_timeline.h"

#include <algorithm>
#include <array>

namespace {

constexpr uint16_t kEndlessLoops = 9999;

// Where the program goes after a pass through step; -1 when it ends. left
// holds each loop's repeats still to come (-1: not counting yet).
int nextStep(const StepProgram& program, int step, std::array<int, 8>& left, bool& endless) {
    const ScriptStep& s = program.steps[std::size_t(step)];
    if (s.action == kActionNext) return step + 1;
    if (s.action > kLastLoopTarget) return -1;
    int& repeats = left[std::size_t(step)];
    if (s.loopCnt == kEndlessLoops) {
        endless = true;
        return s.action;
    }
    if (repeats < 0) repeats = s.loopCnt;
    if (repeats > 0) {
        --repeats;
        return s.action;
    }
    repeats = -1; // an outer loop that comes back here counts again
    return step + 1;
}

} // namespace

std::optional<double> secondsPerCount(int timeUnitCode) {
    if (timeUnitCode == 0) return 1.0;
    if (timeUnitCode == 1) return 60.0;
    return std::nullopt;
}

Timeline planRun(const StepProgram& program, double perCount, int maxVisits) {
    Timeline plan;
    std::array<int, 8> left;
    left.fill(-1);
    bool endless = false;
    double at = 0.0;
    int step = 0;
    while (step >= 0 && step < int(program.steps.size())) {
        if (int(plan.visits.size()) == maxVisits) {
            plan.complete = false;
            plan.endless = endless;
            return plan;
        }
        const ScriptStep& s = program.steps[std::size_t(step)];
        const StepVisit v{step, at, s.time1 * perCount, s.time2 * perCount};
        plan.visits.push_back(v);
        at = v.end();
        step = nextStep(program, step, left, endless);
    }
    plan.complete = !endless;
    plan.endless = endless;
    return plan;
}

std::optional<int> followVisit(const Timeline& plan, int shown, int step, bool restarted) {
    const int count = int(plan.visits.size());
    if (shown >= 0 && shown < count && plan.visits[std::size_t(shown)].step == step && !restarted)
        return shown;
    for (int v = shown + 1; v < count; ++v)
        if (plan.visits[std::size_t(v)].step == step) return v;
    return std::nullopt;
}

RunTimes runTimes(const Timeline& plan, int visit, int segmentOfStep, double inSegment) {
    const StepVisit& v = plan.visits.at(std::size_t(visit));
    RunTimes t;
    // The soak starts when the controller says so, whatever the ramp took.
    t.stepElapsed = (segmentOfStep == 0 ? 0.0 : v.ramp) + std::max(inSegment, 0.0);
    const double length = segmentOfStep == 0 ? v.ramp : v.ramp + v.soak;
    t.stepRemaining = std::max(length - t.stepElapsed, 0.0) + (segmentOfStep == 0 ? v.soak : 0.0);
    t.programElapsed = v.start + t.stepElapsed;
    t.planPosition = v.start + std::min(t.stepElapsed, v.ramp + v.soak);
    if (plan.complete) {
        double later = 0.0;
        for (std::size_t i = std::size_t(visit) + 1; i < plan.visits.size(); ++i)
            later += plan.visits[i].ramp + plan.visits[i].soak;
        t.programRemaining = t.stepRemaining + later;
    }
    return t;
}

std::vector<ProfilePoint> profilePoints(const StepProgram& program, const Timeline& plan,
                                        double startSv) {
    std::vector<ProfilePoint> points{{0.0, startSv}};
    for (const StepVisit& v : plan.visits) {
        const double sv = program.steps[std::size_t(v.step)].stepSv;
        points.push_back({v.start + v.ramp, sv});
        points.push_back({v.end(), sv});
    }
    return points;
}
