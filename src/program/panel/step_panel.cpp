#include "program/panel/step_panel.h"

#include "panelkit/panel_service.h"
#include "program/panel/ids/step_program_panel.h"

namespace ids = StepProgramPanel;

namespace {

void dimStepEntries(int step, bool dimmed) {
    const int p = StepProgramPanel::handle;
    for (CtrlId c : {ids::stepSv[step], ids::time1[step], ids::time2[step], ids::action[step]})
        SetCtrlAttribute(p, c, ATTR_DIMMED, dimmed ? 1 : 0);
}

void dimLoopCount(int step, bool dimmed) {
    SetCtrlAttribute(StepProgramPanel::handle, ids::loopCnt[step], ATTR_DIMMED, dimmed ? 1 : 0);
}

bool isLoop(uint16_t action) {
    return action <= kLastLoopTarget;
}

// Dimmed by the rule for the step before it: a step no run reaches.
bool unreached(int step) {
    double dimmed = 0;
    return step > 0 &&
           GetCtrlAttribute(StepProgramPanel::handle, ids::action[step], ATTR_DIMMED, &dimmed) ==
               0 &&
           dimmed != 0;
}

} // namespace

ScriptStep readStep(int step) {
    const int p = StepProgramPanel::handle;
    ScriptStep s;
    GetCtrlVal(p, ids::stepSv[step], &s.stepSv);
    GetCtrlVal(p, ids::time1[step], &s.time1);
    GetCtrlVal(p, ids::time2[step], &s.time2);
    GetCtrlVal(p, ids::action[step], &s.action);
    GetCtrlVal(p, ids::loopCnt[step], &s.loopCnt);
    return s;
}

StepProgram readProgramFromPanel() {
    StepProgram program;
    for (int i = 0; i < ids::kSteps; ++i)
        program.steps[std::size_t(i)] = readStep(i);
    GetCtrlVal(StepProgramPanel::handle, ids::bandEntry, &program.band);
    return program;
}

void showStep(int step, const ScriptStep& s) {
    const int p = StepProgramPanel::handle;
    SetCtrlVal(p, ids::stepSv[step], s.stepSv);
    SetCtrlVal(p, ids::time1[step], s.time1);
    SetCtrlVal(p, ids::time2[step], s.time2);
    SetCtrlVal(p, ids::action[step], s.action);
    SetCtrlVal(p, ids::loopCnt[step], s.loopCnt);
}

void applyChainRule(int step, uint16_t action) {
    const bool last = step == ids::kSteps - 1;
    // Behind an end, whatever a step's action says, the run never gets
    // there: every later row stays dimmed, not only the next one.
    if (unreached(step)) {
        if (!last) dimStepEntries(step + 1, true);
        dimLoopCount(step, true);
    } else if (action == kActionNext && !last) {
        dimStepEntries(step + 1, false);
        dimLoopCount(step, true);
    } else if (isLoop(action)) {
        if (!last) dimStepEntries(step + 1, false);
        dimLoopCount(step, false);
    } else {
        if (!last) dimStepEntries(step + 1, true);
        dimLoopCount(step, true);
    }
}

void applyChainCascade() {
    const int p = StepProgramPanel::handle;
    for (int i = 0; i < ids::kSteps; ++i) {
        uint16_t action = 0;
        GetCtrlVal(p, ids::action[i], &action);
        const bool ends = action != kActionNext && !isLoop(action);
        applyChainRule(i, action);
        // The step after an end can only end too; rewriting it lets the next
        // pass of this loop carry the end all the way down.
        if (ends && i < ids::kSteps - 1) SetCtrlVal(p, ids::action[i + 1], int(kActionEnd));
    }
}

void showRunningSegment(int segment) {
    for (int s = 0; s < ids::kSegments; ++s)
        SetCtrlVal(StepProgramPanel::handle, ids::segment[s], s == segment ? 1 : 0);
}
