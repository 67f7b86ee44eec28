#pragma once
// The time each ramp of a program took, firing after firing. An element
// that fails shows itself first as a ramp that gets slower run after run.
#include "history/run_figures.h"

#include <optional>
#include <string>
#include <vector>

struct RampTrend {
    int segment = 0;   // the program's, counted from 0
    std::string label; // the segment as its newest program has it
    struct Point {
        long long run = 0;
        int batch = 0;
        double seconds = 0;
    };
    std::vector<Point> points; // oldest first
    // The last three runs were each slower than the median of the runs
    // before them; with the median.
    std::optional<double> slowerThan;
};

// For each ramp of the newest run's program, the runs (oldest first) that
// finished that ramp with the same rate and target.
std::vector<RampTrend> rampTrends(const std::vector<RunFigures>& runsOldestFirst);

// The median of the earlier times, when the last three times are each
// slower than it. Two earlier runs at least make the median, and slower
// means by more than 2 %: a poll's worth of jitter in when a segment is
// seen to end must not read as a failing element.
std::optional<double> slowerThanBefore(const std::vector<double>& times);
