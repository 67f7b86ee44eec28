#pragma once
// Keeping the run store small: the samples of runs that ended long ago are
// deleted, and the figures computed from them are kept in their place, so
// the runs still list and show as they did. A run that has not ended (one
// going on, or one whose process died) is never pruned.
#include "runs/run_store.h"

#include <string>
#include <vector>

struct PruneResult {
    std::vector<long long> pruned; // oldest first
    std::string why;               // the first failure; the runs before it are pruned
};

// Prunes the runs that ended before `before` (wall seconds) and still hold
// their samples; now is when, as the store records it.
PruneResult pruneRuns(RunStore& store, double before, double now);
