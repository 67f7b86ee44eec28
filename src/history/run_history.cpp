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
bool figuresFromSamples(const StoreRead<KeptFigures>& kept) {
    return !kept.found() || (!kept->samplesPruned && kept->version != kFiguresVersion);
}

// A run's figures: those kept of it, else computed from its samples (read
// here unless given) and kept once it has ended, so the next list reads
// none of its samples. Figures an older computation kept are computed
// again while the samples are there, and replaced.
StoreRead<RunFigures> storedFigures(RunStore& store, const StoredRun& run,
                                    const std::vector<RunSample>* samples = nullptr) {
    const auto events = store.events(run.id);
    if (events.failed()) return events.failure();
    const auto kept = store.keptFigures(run.id);
    if (kept.failed()) return kept.failure();
    if (figuresFromSamples(kept)) {
        StoreRead<std::vector<RunSample>> read = std::vector<RunSample>();
        if (!samples) {
            read = store.samples(run.id);
            if (read.failed()) return read.failure();
            samples = &*read;
        }
        RunFigures f = runFigures(run, *samples, *events);
        // A store another q7 shares may refuse the write, and one opened to
        // read takes none: the figures stand.
        if (run.state.phase == RunPhase::ended &&
            (!kept.found() || kept->version < kFiguresVersion))
            store.keepFigures(run.id, keptFiguresOf(f, wallSeconds()), nullptr);
        return f;
    }
    RunFigures f = runFigures(run, {}, *events);
    if (kept->samplesPruned) f.samplesPruned = kept->kept;
    f.lengthSeconds = kept->lengthSeconds;
    if (!f.noPlan.empty()) return f;
    f.segments = kept->segments;
    // An older computation counted a full-rate segment whole.
    if (kept->version < 3) f.fullRateSegments.clear();
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

StoreRead<std::map<long long, int>> batchNumbers(RunStore& store) {
    std::map<long long, int> batches;
    std::map<std::pair<RunKind, std::string>, int> counted;
    const auto newestFirst = store.runIds();
    if (newestFirst.failed()) return newestFirst.failure();
    for (auto it = newestFirst->rbegin(); it != newestFirst->rend(); ++it) {
        const auto run = store.load(*it);
        if (run.failed()) return run.failure();
        if (!run.found()) continue;
        // A delayed run that never began is no firing: it takes no number.
        if (!run->state.started) continue;
        if (run->resumedFrom)
            if (const auto was = batches.find(*run->resumedFrom); was != batches.end()) {
                batches[run->id] = was->second;
                continue;
            }
        batches[run->id] = ++counted[{run->state.kind, run->state.programName}];
    }
    return batches;
}

StoreRead<RunFigures> loadFigures(RunStore& store, long long id,
                                  const std::map<long long, int>& batches) {
    const auto run = store.load(id);
    if (!run.found()) return run.failed() ? StoreRead<RunFigures>(run.failure()) : std::nullopt;
    auto f = storedFigures(store, *run);
    if (f.failed()) return f;
    if (const auto b = batches.find(id); b != batches.end()) f->batch = b->second;
    return f;
}

bool keepEndedFigures(RunStore& store, long long id, std::string* why) {
    const auto run = store.load(id);
    if (run.failed() || !run.found()) {
        if (why) *why = run.failed() ? run.why() : "no run " + std::to_string(id);
        return false;
    }
    const auto kept = store.keptFigures(id);
    if (kept.failed()) {
        if (why) *why = kept.why();
        return false;
    }
    if (kept.found() && (kept->samplesPruned || kept->version == kFiguresVersion)) return true;
    const auto events = store.events(id);
    const auto samples = store.samples(id);
    if (events.failed() || samples.failed()) {
        if (why) *why = events.failed() ? events.why() : samples.why();
        return false;
    }
    return store.keepFigures(id, keptFiguresOf(runFigures(*run, *samples, *events), wallSeconds()),
                             why);
}

StoreRead<std::vector<RunFigures>> programRuns(RunStore& store, const std::string& program) {
    const auto batches = batchNumbers(store);
    if (batches.failed()) return batches.failure();
    std::vector<RunFigures> runs;
    const auto newestFirst = store.runIds();
    if (newestFirst.failed()) return newestFirst.failure();
    for (auto it = newestFirst->rbegin(); it != newestFirst->rend(); ++it) {
        const auto run = store.load(*it);
        if (run.failed()) return run.failure();
        if (!run.found() || run->state.kind != RunKind::program ||
            run->state.programName != program)
            continue;
        auto f = storedFigures(store, *run);
        if (f.failed()) return f.failure();
        if (const auto b = batches->find(*it); b != batches->end()) f->batch = b->second;
        runs.push_back(std::move(*f));
    }
    return runs;
}

StoreRead<RunReport> loadRunReport(RunStore& store, long long id) {
    const auto run = store.load(id);
    if (!run.found()) return run.failed() ? StoreRead<RunReport>(run.failure()) : std::nullopt;
    const auto events = store.events(id);
    if (events.failed()) return events.failure();
    const auto kept = store.keptFigures(id);
    if (kept.failed()) return kept.failure();
    RunReport r;
    if (figuresFromSamples(kept)) {
        const auto samples = store.samples(id);
        if (samples.failed()) return samples.failure();
        auto figures = storedFigures(store, *run, &*samples);
        if (figures.failed()) return figures.failure();
        r = RunReport{std::move(*figures),
                      runChartData(*run, *samples, *events),
                      runEnergy(run->state, *samples),
                      std::nullopt,
                      {}};
    } else {
        // Figures kept need no samples: the chart and the energy take them
        // as they are read, and a day's run is never held twice over.
        RunChartBuilder chart(*run);
        RunEnergyMeter energy(run->state);
        const auto read = store.eachSample(
            id, [&](std::size_t count) { chart.reserve(count); },
            [&](const RunSample& s) {
                chart.add(s);
                energy.add(s);
            });
        if (read.failed()) return read.failure();
        auto figures = storedFigures(store, *run);
        if (figures.failed()) return figures.failure();
        r = RunReport{
            std::move(*figures), chart.finish(*events), energy.result(), std::nullopt, {}};
    }
    if (r.figures.samplesPruned) {
        r.energy = RunEnergy{};
        r.energy.none = "its samples were pruned, and the output level with them";
    }
    const auto batches = batchNumbers(store);
    if (batches.failed()) return batches.failure();
    if (const auto b = batches->find(id); b != batches->end()) r.figures.batch = b->second;
    const auto seal = store.seal(id);
    if (seal.failed()) return seal.failure();
    if (seal.found()) r.seal = *seal;
    r.fields = latestFields(*events);
    return r;
}
