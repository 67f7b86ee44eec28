#include "history/run_history.h"

#include "base/clock.h"

#include <algorithm>
#include <utility>

namespace {} // namespace

KeptFigures keptFiguresOf(const RunFigures& f, double now) {
    KeptFigures k;
    k.kept = now;
    k.version = kFiguresVersion;
    k.lengthSeconds = f.lengthSeconds;
    k.segments = f.segments;
    return k;
}

namespace {

// Whether a run's figures must be computed from its samples: none are
// kept, or an older computation kept them and the samples are still there.
bool figuresFromSamples(const std::optional<KeptFigures>& kept) {
    return !kept || (!kept->samplesPruned && kept->version != kFiguresVersion);
}

// A run's figures: those kept of it, else computed from its samples (read
// here unless given) and kept once it has ended, so the next list reads
// none of its samples. Figures an older computation kept are computed
// again while the samples are there, and replaced.
RunFigures storedFigures(RunStore& store, const StoredRun& run,
                         const std::vector<RunSample>* samples = nullptr) {
    const std::vector<RunEvent> events = store.events(run.id);
    const auto kept = store.keptFigures(run.id);
    if (figuresFromSamples(kept)) {
        RunFigures f = runFigures(run, samples ? *samples : store.samples(run.id), events);
        // A store another q7 shares may refuse the write: the figures stand.
        if (run.state.phase == RunPhase::ended && (!kept || kept->version < kFiguresVersion))
            store.keepFigures(run.id, keptFiguresOf(f, wallSeconds()), nullptr);
        return f;
    }
    RunFigures f = runFigures(run, {}, events);
    if (kept->samplesPruned) f.samplesPruned = kept->kept;
    f.lengthSeconds = kept->lengthSeconds;
    if (!f.noPlan.empty()) return f;
    f.segments = kept->segments;
    f.heldBackSeconds = 0;
    f.largestDeviation.reset();
    for (const SegmentFigures& s : f.segments) {
        f.heldBackSeconds += s.heldBackSeconds;
        if (s.largestDeviation)
            f.largestDeviation = std::max(f.largestDeviation.value_or(0.0), *s.largestDeviation);
    }
    return f;
}

} // namespace

std::map<long long, int> batchNumbers(RunStore& store) {
    std::map<long long, int> batches;
    std::map<std::pair<RunKind, std::string>, int> counted;
    const std::vector<long long> newestFirst = store.runIds();
    for (auto it = newestFirst.rbegin(); it != newestFirst.rend(); ++it) {
        const auto run = store.load(*it);
        if (!run) continue;
        if (run->resumedFrom)
            if (const auto was = batches.find(*run->resumedFrom); was != batches.end()) {
                batches[run->id] = was->second;
                continue;
            }
        batches[run->id] = ++counted[{run->state.kind, run->state.programName}];
    }
    return batches;
}

std::optional<RunFigures> loadFigures(RunStore& store, long long id,
                                      const std::map<long long, int>& batches) {
    const auto run = store.load(id);
    if (!run) return std::nullopt;
    RunFigures f = storedFigures(store, *run);
    if (const auto b = batches.find(id); b != batches.end()) f.batch = b->second;
    return f;
}

std::vector<RunFigures> programRuns(RunStore& store, const std::string& program) {
    const auto batches = batchNumbers(store);
    std::vector<RunFigures> runs;
    const std::vector<long long> newestFirst = store.runIds();
    for (auto it = newestFirst.rbegin(); it != newestFirst.rend(); ++it) {
        const auto run = store.load(*it);
        if (!run || run->state.kind != RunKind::program || run->state.programName != program)
            continue;
        RunFigures f = storedFigures(store, *run);
        if (const auto b = batches.find(*it); b != batches.end()) f.batch = b->second;
        runs.push_back(std::move(f));
    }
    return runs;
}

std::optional<RunReport> loadRunReport(RunStore& store, long long id) {
    const auto run = store.load(id);
    if (!run) return std::nullopt;
    const std::vector<RunEvent> events = store.events(id);
    RunReport r;
    if (figuresFromSamples(store.keptFigures(id))) {
        const std::vector<RunSample> samples = store.samples(id);
        r = RunReport{storedFigures(store, *run, &samples), runChartData(*run, samples, events),
                      runEnergy(run->state, samples)};
    } else {
        // Figures kept need no samples: the chart and the energy take them
        // as they are read, and a day's run is never held twice over.
        RunChartBuilder chart(*run);
        RunEnergyMeter energy(run->state);
        store.eachSample(
            id, [&](std::size_t count) { chart.reserve(count); },
            [&](const RunSample& s) {
                chart.add(s);
                energy.add(s);
            });
        r = RunReport{storedFigures(store, *run), chart.finish(events), energy.result()};
    }
    if (r.figures.samplesPruned) {
        r.energy = RunEnergy{};
        r.energy.none = "its samples were pruned, and the output level with them";
    }
    const auto batches = batchNumbers(store);
    if (const auto b = batches.find(id); b != batches.end()) r.figures.batch = b->second;
    return r;
}
