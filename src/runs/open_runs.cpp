#include "runs/open_runs.h"

#include "base/number_text.h"

#include <unistd.h>

namespace {

bool onDevice(const RunState& state, const std::string& device) {
    for (const ZoneState& z : state.zones)
        if (sameRunDevice(zoneDevice(z), device)) return true;
    return false;
}

bool hasZoneNamed(const RunState& state, const std::string& port) {
    for (const ZoneState& z : state.zones)
        if (z.port == port) return true;
    return false;
}

// Every unfinished run that takes, oldest first.
template <class Takes>
StoreRead<std::vector<StoredRun>> unfinishedRuns(RunStore& store, const Takes& takes) {
    const auto unfinished = store.unfinished();
    if (unfinished.failed()) return unfinished.failure();
    std::vector<StoredRun> out;
    for (long long id : *unfinished) {
        auto run = store.load(id);
        if (run.failed()) return run.failure();
        if (run.found() && takes(run->state)) out.push_back(std::move(*run));
    }
    return out;
}

} // namespace

std::string portName(int port) {
    return "COM" + std::to_string(port);
}

std::optional<int> portNumbered(std::string_view name) {
    if (name.substr(0, 3) != "COM") return std::nullopt;
    name.remove_prefix(3);
    const auto n = takeWhole(name);
    if (!n || !name.empty() || *n < 1 || *n > 255) return std::nullopt;
    return int(*n);
}

StoreRead<std::vector<StoredRun>> openRunsOn(RunStore& store, const std::string& device) {
    return unfinishedRuns(store, [&](const RunState& st) { return onDevice(st, device); });
}

StoreRead<StoredRun> openRunOn(RunStore& store, const std::string& device) {
    auto runs = openRunsOn(store, device);
    if (runs.failed()) return runs.failure();
    for (StoredRun& run : *runs)
        if (run.state.kind == RunKind::program) return std::move(run);
    return std::nullopt;
}

StoreRead<StoredRun> openRunHolding(RunStore& store, const std::string& device, int id) {
    auto runs = openRunsOn(store, device);
    if (runs.failed()) return runs.failure();
    for (StoredRun& run : *runs) {
        if (run.state.kind != RunKind::program) continue;
        for (const ZoneState& z : run.state.zones)
            if (z.id == id && sameRunDevice(zoneDevice(z), device)) return std::move(run);
    }
    return std::nullopt;
}

StoreRead<std::vector<StoredRun>> openRunsNamedElsewhere(RunStore& store, const std::string& port,
                                                         const std::string& device) {
    return unfinishedRuns(store, [&](const RunState& st) {
        return st.kind == RunKind::program && !onDevice(st, device) && hasZoneNamed(st, port);
    });
}

std::string elsewhereText(const std::vector<StoredRun>& runs, const std::string& port) {
    std::string out;
    for (const StoredRun& run : runs)
        for (const ZoneState& z : run.state.zones)
            if (z.port == port) {
                out += (out.empty() ? "" : "; ") +
                       ("run " + formatWhole(run.id) + " (" + run.state.programName +
                        ") is open on " + port + " as " + zoneDevice(z));
                break;
            }
    return out;
}

StoreRead<StoredRun> lastRunOn(RunStore& store, const std::string& device) {
    // Among the latest: a run long past says nothing of this one.
    constexpr std::size_t kLooked = 100;
    const auto ids = store.runIds();
    if (ids.failed()) return ids.failure();
    for (std::size_t i = 0; i < ids->size() && i < kLooked; ++i) {
        auto run = store.load((*ids)[i]);
        if (run.failed()) return run.failure();
        if (run.found() && onDevice(run->state, device)) return run;
    }
    return std::nullopt;
}

std::string drivenElsewhere(RunStore& store, const StoredRun& run) {
    const auto d = store.driver(run.id);
    if (d.failed()) return "who drives run " + formatWhole(run.id) + " cannot be read: " + d.why();
    if (!d.found() || d->pid == getpid() || !stillRunning(*d)) return "";
    return "run " + formatWhole(run.id) + " is driven by q7, pid " + formatWhole(d->pid) +
           ": q7 run --stop asks it to end the run";
}
