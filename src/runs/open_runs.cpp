#include "runs/open_runs.h"

#include "base/number_text.h"

#include <unistd.h>

namespace {

bool onPort(const RunState& state, const std::string& port) {
    for (const ZoneState& z : state.zones)
        if (z.port == port) return true;
    return false;
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

StoreRead<std::vector<StoredRun>> openRunsOn(RunStore& store, const std::string& port) {
    const auto unfinished = store.unfinished();
    if (unfinished.failed()) return unfinished.failure();
    std::vector<StoredRun> out;
    for (long long id : *unfinished) {
        auto run = store.load(id);
        if (run.failed()) return run.failure();
        if (run.found() && onPort(run->state, port)) out.push_back(std::move(*run));
    }
    return out;
}

StoreRead<StoredRun> openRunOn(RunStore& store, const std::string& port) {
    auto runs = openRunsOn(store, port);
    if (runs.failed()) return runs.failure();
    for (StoredRun& run : *runs)
        if (run.state.kind == RunKind::program) return std::move(run);
    return std::nullopt;
}

std::string drivenElsewhere(RunStore& store, const StoredRun& run) {
    const auto d = store.driver(run.id);
    if (d.failed()) return "who drives run " + formatWhole(run.id) + " cannot be read: " + d.why();
    if (!d.found() || d->pid == getpid() || !stillRunning(*d)) return "";
    return "run " + formatWhole(run.id) + " is driven by q7, pid " + formatWhole(d->pid) +
           ": q7 run --stop asks it to end the run";
}
