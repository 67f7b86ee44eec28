#include "history/run_prune.h"

#include "history/run_figures.h"
#include "history/run_history.h"

PruneResult pruneRuns(RunStore& store, double before, double now) {
    PruneResult result;
    const auto newestFirst = store.runIds();
    if (newestFirst.failed()) {
        result.why = newestFirst.why();
        return result;
    }
    for (auto it = newestFirst->rbegin(); it != newestFirst->rend(); ++it) {
        const auto run = store.load(*it);
        if (run.failed()) {
            result.why = run.why();
            break;
        }
        if (!run.found() || run->state.phase != RunPhase::ended || !run->state.ended ||
            *run->state.ended >= before)
            continue;
        const auto kept = store.keptFigures(*it);
        if (kept.failed()) {
            result.why = kept.why();
            break;
        }
        if (kept.found() && kept->samplesPruned) continue;
        // Samples that do not read are never given up for figures made without them.
        const auto samples = store.samples(*it);
        const auto events = store.events(*it);
        if (samples.failed() || events.failed()) {
            result.why = samples.failed() ? samples.why() : events.why();
            break;
        }
        // Computed afresh: the figures kept beside the samples may be an older computation's.
        const RunFigures f = runFigures(*run, *samples, *events);
        if (!store.pruneSamples(*it, keptFiguresOf(f, now), &result.why)) break;
        result.pruned.push_back(*it);
    }
    return result;
}
