#include "runs/step_runs.h"

#include "runs/run_store.h"

#include <filesystem>

namespace {

StoreRead<StoredRun> openStepRunOn(RunStore& store, const std::string& port, int id) {
    const auto unfinished = store.unfinished();
    if (unfinished.failed()) return unfinished.failure();
    for (long long runId : *unfinished) {
        auto run = store.load(runId);
        if (run.failed()) return run.failure();
        if (!run.found() || run->state.kind != RunKind::steps || run->state.zones.size() != 1)
            continue;
        const ZoneState& z = run->state.zones.front();
        if (z.port == port && z.id == id) return run;
    }
    return std::nullopt;
}

bool endRun(RunStore& store, StoredRun& run, double now, RunOutcome outcome,
            const std::string& text, std::string* why) {
    RunState& st = run.state;
    st.phase = RunPhase::ended;
    st.outcome = outcome;
    st.ended = now;
    RunUpdate u{st, {}, {}, true};
    u.events.push_back({now, std::nullopt, EventKind::end, 0, text});
    return store.record(run.id, u, why);
}

std::variant<std::unique_ptr<RunStore>, std::string> openStore(const std::string& path) {
    auto opened = RunStore::open(path);
    if (auto* refused = std::get_if<std::string>(&opened)) return "the run store " + *refused;
    return std::move(std::get<std::unique_ptr<RunStore>>(opened));
}

} // namespace

bool closeStepRun(RunStore& store, const std::string& port, int id, double now, RunOutcome outcome,
                  const std::string& text, std::string* why) {
    auto run = openStepRunOn(store, port, id);
    if (run.failed()) {
        if (why) *why = run.why();
        return false;
    }
    return !run.found() || endRun(store, *run, now, outcome, text, why);
}

std::optional<long long> openStepRun(RunStore& store, const std::string& port, int id,
                                     const std::string& table, double now, std::string* why,
                                     const std::string& origin) {
    if (!closeStepRun(store, port, id, now, RunOutcome::stopped,
                      "stopped: the step program was started again", why))
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
                           "the controller's own step program started" +
                               (origin.empty() ? "" : "; " + origin)};
    if (!store.addEvent(*runId, started, why)) return std::nullopt;
    return runId;
}

StepRunRecord::StepRunRecord(std::unique_ptr<RunStore> store, StoredRun run)
    : store_(std::move(store)), run_(std::move(run)) {}

StepRunRecord::~StepRunRecord() = default;

StepRunRecord::Opened StepRunRecord::begin(const std::string& storePath, const std::string& port,
                                           int id, const std::string& table, double now,
                                           const std::string& origin) {
    auto opened = openStore(storePath);
    if (auto* why = std::get_if<std::string>(&opened)) return *why;
    auto store = std::move(std::get<std::unique_ptr<RunStore>>(opened));
    std::string why;
    const auto runId = openStepRun(*store, port, id, table, now, &why, origin);
    if (!runId) return why.empty() ? "the run store lost the run it made" : why;
    auto run = store->load(*runId);
    if (run.failed()) return run.why();
    if (!run.found()) return "the run store lost the run it made";
    return std::unique_ptr<StepRunRecord>(new StepRunRecord(std::move(store), std::move(*run)));
}

StepRunRecord::Opened StepRunRecord::following(const std::string& storePath,
                                               const std::string& port, int id) {
    if (!std::filesystem::exists(storePath)) return std::unique_ptr<StepRunRecord>();
    auto opened = openStore(storePath);
    if (auto* why = std::get_if<std::string>(&opened)) return *why;
    auto store = std::move(std::get<std::unique_ptr<RunStore>>(opened));
    auto run = openStepRunOn(*store, port, id);
    if (run.failed()) return run.why();
    if (!run.found()) return std::unique_ptr<StepRunRecord>();
    return std::unique_ptr<StepRunRecord>(new StepRunRecord(std::move(store), std::move(*run)));
}

bool StepRunRecord::sample(double now, std::optional<double> pv, std::optional<double> sv,
                           std::string* why) {
    RunSample s;
    s.time = now;
    s.pv = pv;
    s.sv = sv;
    return store_->record(run_.id, RunUpdate{run_.state, {s}, {}, false}, why);
}

bool StepRunRecord::end(double now, RunOutcome outcome, const std::string& text, std::string* why) {
    if (run_.state.phase == RunPhase::ended) return true;
    return endRun(*store_, run_, now, outcome, text, why);
}

std::string recordStepStop(const std::string& storePath, const std::string& port, int id,
                           double now, const std::string& reason, std::string* notice) {
    // Stopping makes no store where there is none.
    if (!std::filesystem::exists(storePath)) return "";
    auto opened = openStore(storePath);
    if (auto* why = std::get_if<std::string>(&opened)) return *why;
    std::string why;
    auto& store = *std::get<std::unique_ptr<RunStore>>(opened);
    *notice = store.notice();
    if (closeStepRun(store, port, id, now, RunOutcome::stopped, "stopped: " + reason, &why))
        return "";
    return why;
}
