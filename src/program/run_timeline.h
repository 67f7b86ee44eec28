#pragma once
// The path a step program takes when the controller runs it: each pass
// through a step in order, loops unrolled, with the times the table gives.
// The run display and the profile plot both read it; nothing here talks to
// the controller.
#include "program/step_program.h"

#include <optional>
#include <vector>

// One pass through a step: a ramp to its set value, then a soak at it.
struct StepVisit {
    int step = 0;
    double start = 0.0; // seconds from the program's start, as planned
    double ramp = 0.0;  // first segment, seconds
    double soak = 0.0;  // second segment, seconds
    double end() const { return start + ramp + soak; }
};

struct Timeline {
    std::vector<StepVisit> visits;
    // The program ends after the last visit. False for an endless loop, or a
    // path too long to unroll: the visits are then only its beginning.
    bool complete = true;
    bool endless = false; // a loop with the count 9999 is on the path
};

// Seconds in one count of a step time: 1 with MM:SS (code 0), 60 with HH:MM
// (code 1); nothing for a time unit code outside the table.
std::optional<double> secondsPerCount(int timeUnitCode);

// The controller's rule: next (10) goes on, 0-7 loops back that many times
// after the first pass (9999: for ever) and then goes on, anything else ends;
// going on past the last step ends too.
Timeline planRun(const StepProgram& program, double secondsPerCount, int maxVisits = 1000);

// The visit the controller's running step belongs to, seen after the visit
// shown so far (-1 before the first): that visit while the step is the same
// and its segment did not start over, else the next visit of that step.
// Nothing when the plan has no such visit.
std::optional<int> followVisit(const Timeline& plan, int shown, int step, bool restarted);

struct RunTimes {
    double stepElapsed = 0.0;
    double stepRemaining = 0.0; // 0 while a step waits for PV past its time
    double programElapsed = 0.0;            // the earlier steps as planned, and this one
    std::optional<double> programRemaining; // nothing for an endless program
    double planPosition = 0.0; // where on the planned profile the run is
};

// From the running visit, which of its two segments runs (0 ramp, 1 soak)
// and the time spent in that segment.
RunTimes runTimes(const Timeline& plan, int visit, int segmentOfStep, double inSegment);

struct ProfilePoint {
    double seconds = 0.0;
    double sv = 0.0;
};

// The programmed set value over time: from startSv, each visit ramps to its
// step's set value and holds it.
std::vector<ProfilePoint> profilePoints(const StepProgram& program, const Timeline& plan,
                                        double startSv);
