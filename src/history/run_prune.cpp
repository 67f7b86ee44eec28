#include "history/run_prune.h"

#include "history/run_figures.h"
#include "history/run_history.h"

PruneResult pruneRuns(RunStore& store, double before, double now) {
    PruneResult result;
    const std::vector<long long> newestFirst = store.runIds();
    for (auto it = newestFirst.rbegin(); it != newestFirst.rend(); ++it) {
        const auto run = store.load(*it);
        if (!run || run->state.phase != RunPhase::ended || !run->state.ended ||
            *run->state.ended >= before)
            continue;
        if (const auto kept = store.keptFigures(*it); kept && kept->samplesPruned) continue;
        // Computed afresh: the figures kept beside the samples may be an older computation's.
        const RunFigures f = runFigures(*run, store.samples(*it), store.events(*it));
        if (!store.pruneSamples(*it, keptFiguresOf(f, now), &result.why)) break;
        result.pruned.push_back(*it);
    }
    return result;
}
