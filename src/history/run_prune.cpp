#include "history/run_prune.h"

#include "history/run_figures.h"

PruneResult pruneRuns(RunStore& store, double before, double now) {
    PruneResult result;
    const std::vector<long long> newestFirst = store.runIds();
    for (auto it = newestFirst.rbegin(); it != newestFirst.rend(); ++it) {
        const auto run = store.load(*it);
        if (!run || run->state.phase != RunPhase::ended || !run->state.ended ||
            *run->state.ended >= before || store.keptFigures(*it))
            continue;
        const RunFigures f = runFigures(*run, store.samples(*it), store.events(*it));
        if (!store.pruneSamples(*it, KeptFigures{now, f.lengthSeconds, f.segments}, &result.why))
            break;
        result.pruned.push_back(*it);
    }
    return result;
}
