#pragma once
// The order a run goes through a program's segments: each once, in the
// file's order, except the span `repeat = FROM-TO x N` names, which runs N
// times before the segments after it. A step is one place on that order.
#include "runs/program_file.h"

#include <string>
#include <vector>

struct PlanStart;

struct ProgramStep {
    int segment = 0; // the program's, counted from 0
    int cycle = 0;   // of the repeated span, from 1; 0 outside it
};

// Every step of a run of the program, in order.
std::vector<ProgramStep> runOrder(const FiringProgram& program);
// How many steps that is.
int stepCount(const FiringProgram& program);
// The step a run stands at: seconds `clock` along the plan begun at start.
int stepAt(const FiringProgram& program, const PlanStart& start, double clock);
// The step of the run order where a run is.
ProgramStep stepOf(const FiringProgram& program, int step);

// "cycle 3 of 10"; empty for a step outside the repeated span.
std::string cycleText(const FiringProgram& program, int step);
// segmentText() of the step's segment, then its cycle: "segment 2 of 3:
// 100 °C/h to 500 °C, hold 0:10, cycle 2 of 3".
std::string stepText(const FiringProgram& program, int step);
// "segment 2", or in the repeated span "segment 2 in cycle 3 of 10".
std::string stepName(const FiringProgram& program, int step);
// What a run of the program goes through: "3 segments", or with a repeat
// "7 segments run (2-3 three times)".
std::string segmentsRunText(const FiringProgram& program);
