#pragma once
// What a stored run did against its plan, per segment and as a whole,
// computed from its samples and events. The Runs panel, the report and the
// `q7 runs` commands all show these figures and compute none of their own.
//
// Times are plan seconds: wall seconds times the run's time scale, so a run
// faster than life stands for the firing it plays. Deviations are |PV - the
// plan's SV| and rates are per hour, both in the run's unit (RunUnits: its
// program's, whatever unit its controllers show); a run that follows its
// plan exactly has none.
#include "runs/run_record.h"
#include "runs/run_store.h"
#include "runs/segment_figures.h"

#include <optional>
#include <string>
#include <vector>

// The version of the computation below. Raised whenever it comes to give
// other figures for the same samples, so that figures an older one kept
// (run_store.h) are computed again wherever the samples still are.
// 2: in the run's unit, where 1 was in its controllers'.
// 3: a full-rate segment's deviation counted from where it reached its target.
inline constexpr int kFiguresVersion = 3;

struct RunFigures {
    long long id = 0;
    RunState state;
    int batch = 0; // 1 for a program's first firing; 0 when not known
    std::vector<SegmentFigures> segments;
    // The unit its deviations and rates are in; nothing where none is known.
    std::optional<TemperatureUnit> unit;
    // Where the run's program text no longer reads (or it is a controller's
    // step table): why there is no plan to compare with. Empty when there is.
    std::string noPlan;
    std::optional<double> lengthSeconds; // from the plan's start to the end (or the last sample)
    double heldBackSeconds = 0;
    std::optional<double> largestDeviation;
    // The full-rate segments it ran (the program's, from 0): the kiln heats
    // or cools in them as fast as it can, so each zone's deviation in one
    // counts only from when it reached its target. Empty for figures an
    // older computation kept, which counted them whole.
    std::vector<int> fullRateSegments;
    // When its samples were pruned: the figures are the ones kept then.
    std::optional<double> samplesPruned;
};

// A stretch of the run spent in one segment, in wall seconds, as its
// events tell it.
struct SegmentSpan {
    int segment = 0; // the program's, counted from 0
    int cycle = 0;   // of its repeat, from 1; 0 outside one
    double from = 0, to = 0;
    double paused = 0, heldBack = 0;
    bool finished = false;
};
// The run's segments in order; one still going (or whose process died)
// lasts until lastSample.
std::vector<SegmentSpan> segmentSpans(const RunState& state, const std::vector<RunEvent>& events,
                                      double lastSample);

// Which segments the largest deviation covers, where the run had a
// full-rate segment: " (segments 1-3, 5; full-rate segment 4 not counted
// until it reached its target)", to follow the figure; empty otherwise.
std::string deviationCoverage(const RunFigures& figures);

// What a segment's row notes beside its figures: "cycle 2 of 3", "not
// finished", "paused 0:10", as they apply.
std::string segmentNote(const SegmentFigures& segment);

// The figures of one run from what the store holds of it.
RunFigures runFigures(const StoredRun& run, const std::vector<RunSample>& samples,
                      const std::vector<RunEvent>& events);
