#include "cli/step_runs.h"

#include "runs/run_store.h"

namespace {

std::optional<StoredRun> openStepRunOn(RunStore& store, const std::string& port, int id) {
    for (long long runId : store.unfinished()) {
        auto run = store.load(runId);
        if (!run || run->state.kind != RunKind::steps || run->state.zones.size() != 1) continue;
        const ZoneState& z = run->state.zones.front();
        if (z.port == port && z.id == id) return run;
    }
    return std::nullopt;
}

} // namespace

bool closeStepRun(RunStore& store, const std::string& port, int id, double now,
                  const std::string& reason, std::string* why) {
    auto run = openStepRunOn(store, port, id);
    if (!run) return true;
    RunState& st = run->state;
    st.phase = RunPhase::ended;
    st.outcome = RunOutcome::stopped;
    st.ended = now;
    RunUpdate u{st, {}, {}, true};
    u.events.push_back({now, std::nullopt, EventKind::end, 0, "stopped: " + reason});
    return store.record(run->id, u, why);
}

std::optional<long long> openStepRun(RunStore& store, const std::string& port, int id,
                                     const std::string& table, double now, std::string* why) {
    if (!closeStepRun(store, port, id, now, "the step program was started again", why))
        return std::nullopt;
    RunState st;
    st.kind = RunKind::steps;
    st.programName = "step program";
    st.programText = table;
    st.phase = RunPhase::running;
    st.opened = now;
    st.started = now;
    ZoneState zone;
    zone.port = port;
    zone.id = id;
    st.zones.push_back(zone);
    const auto runId = store.create(st, std::nullopt, why);
    if (!runId) return std::nullopt;
    const RunEvent started{now, std::nullopt, EventKind::start, 0,
                           "the controller's own step program started"};
    if (!store.addEvent(*runId, started, why)) return std::nullopt;
    return runId;
}
