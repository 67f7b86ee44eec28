#pragma once
// What a stored run did against its plan, per segment and as a whole,
// computed from its samples and events. The Runs panel, the report and the
// `q7 runs` commands all show these figures and compute none of their own.
//
// Times are plan seconds: wall seconds times the run's time scale, so a run
// faster than life stands for the firing it plays. Deviations are |PV - the
// plan's SV| in the degrees the zones' controllers show, as both were
// sampled; a run that follows its plan exactly has none.
#include "runs/run_record.h"
#include "runs/run_store.h"

#include <optional>
#include <string>
#include <vector>

struct SegmentFigures {
    int segment = 0;           // the program's, counted from 0
    bool ramp = false;         // the set value moves in it (a rate, or full)
    double plannedSeconds = 0; // its ramp and hold on this run's plan
    double plannedHoldSeconds = 0;
    double actualSeconds = 0; // from its start to the next one's, pauses left out
    double pausedSeconds = 0;
    double heldBackSeconds = 0; // the plan clock waited for a zone
    bool finished = false;      // the run went on past it, or completed in it
    std::optional<double> largestDeviation, meanDeviation; // over every zone's samples
    // A finished ramp's own time: the segment's less its planned hold.
    std::optional<double> rampSeconds;
    // Degrees per hour the kiln reached on a finished ramp, PV from the
    // segment's start to its ramp's end: the slowest zone's (the one the
    // plan waits for).
    std::optional<double> rateReached;
};

struct RunFigures {
    long long id = 0;
    RunState state;
    int batch = 0; // 1 for a program's first firing; 0 when not known
    std::vector<SegmentFigures> segments;
    // Where the run's program text no longer reads (or it is a controller's
    // step table): why there is no plan to compare with. Empty when there is.
    std::string noPlan;
    std::optional<double> lengthSeconds; // from the plan's start to the end (or the last sample)
    double heldBackSeconds = 0;
    std::optional<double> largestDeviation;
};

// A stretch of the run spent in one segment, in wall seconds, as its
// events tell it.
struct SegmentSpan {
    int segment = 0; // the program's, counted from 0
    double from = 0, to = 0;
    double paused = 0, heldBack = 0;
    bool finished = false;
};
// The run's segments in order; one still going (or whose process died)
// lasts until lastSample.
std::vector<SegmentSpan> segmentSpans(const RunState& state, const std::vector<RunEvent>& events,
                                      double lastSample);

// The figures of one run from what the store holds of it.
RunFigures runFigures(const StoredRun& run, const std::vector<RunSample>& samples,
                      const std::vector<RunEvent>& events);
