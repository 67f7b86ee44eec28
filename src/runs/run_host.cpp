#include "runs/run_host.h"

#include "base/clock.h"
#include "base/number_text.h"
#include "runs/calibration_stamp.h"
#include "runs/run_device.h"

#include <utility>

std::unique_ptr<RunStore> openRunStore(std::string* why, RunStore::Use use) {
    auto opened = RunStore::open(runStorePath(), use);
    if (const auto* w = std::get_if<std::string>(&opened)) {
        *why = "the run store " + *w + "; no run starts unrecorded";
        return nullptr;
    }
    return std::move(std::get<std::unique_ptr<RunStore>>(opened));
}

std::optional<FiringProgram> storedProgram(const StoredRun& run, std::string* why,
                                           std::string* withoutText) {
    auto parsed = parseFiringProgram(run.state.programText);
    if (auto* p = std::get_if<FiringProgram>(&parsed)) return std::move(*p);
    const ProgramError& e = std::get<ProgramError>(parsed);
    const std::string what = "run " + formatWhole(run.id) + "'s program no longer reads: ";
    *why = what + e.why;
    if (withoutText) *withoutText = what + e.withoutText;
    return std::nullopt;
}

std::string RunHolding::unfinishedOn(const std::string& where) const {
    return "run " + formatWhole(run.id) + " (" + run.state.programName + ") is unfinished on " +
           where;
}

StoreRead<RunHolding> runHolding(RunStore& store, const std::string& device, int id) {
    auto held = openRunHolding(store, device, id);
    if (held.failed()) return held.failure();
    if (!held.found()) return std::nullopt;
    RunHolding h{std::move(*held), {}};
    h.driven = drivenElsewhere(store, h.run);
    return h;
}

// Last among the listeners: once the end is recorded (and told), the
// figures are kept.
class RunHost::EndWatch final : public RunListener {
  public:
    explicit EndWatch(RunHost& host) : host_(host) {}
    void runUpdated(const RunUpdate& u) override {
        if (done_ || u.state.phase != RunPhase::ended) return;
        done_ = true;
        if (const auto id = host_.runId(); id && host_.ended_) host_.ended_(host_.store_, *id);
    }

  private:
    RunHost& host_;
    bool done_ = false;
};

RunHost::RunHost(RunStore& store, Ended ended)
    : store_(store), ended_(std::move(ended)), endWatch_(std::make_unique<EndWatch>(*this)) {}

RunHost::~RunHost() = default;

void RunHost::begin(FiringProgram program, std::string text, std::vector<EngineZone> zones,
                    const RunOptions& options) {
    engine_ =
        std::make_unique<RunEngine>(std::move(program), std::move(text), std::move(zones), options);
    recorder_ = std::make_unique<RunRecorder>(store_);
    fresh_ = true;
}

void RunHost::resume(FiringProgram program, const StoredRun& run, std::vector<EngineZone> zones,
                     const RunOptions& options) {
    engine_ = std::make_unique<RunEngine>(std::move(program), run.state, std::move(zones), options);
    recorder_ = std::make_unique<RunRecorder>(store_, run);
}

void RunHost::take(FiringProgram program, const StoredRun& run, std::vector<EngineZone> zones) {
    engine_ = std::make_unique<RunEngine>(std::move(program), run.state, std::move(zones));
    // As `q7 run --stop` ends a run nobody drives: into its own record.
    recorder_ = std::make_unique<RunRecorder>(store_);
    recorder_->continueRun(run.id);
}

void RunHost::listen(RunListener* listener) {
    listeners_.push_back(listener);
}

namespace {

void addListeners(RunEngine& engine, RunRecorder& recorder,
                  const std::vector<RunListener*>& listeners, RunListener& last) {
    engine.addListener(&recorder);
    for (RunListener* l : listeners)
        engine.addListener(l);
    engine.addListener(&last);
}

} // namespace

std::string RunHost::open(const std::string& who) {
    addListeners(*engine_, *recorder_, listeners_, *endWatch_);
    if (const std::string why = engine_->open(); !why.empty())
        return (who.empty() ? "" : who + ": ") + why + "; nothing was written";
    if (!recorder_->problem().empty()) return recorder_->problem() + "; nothing was written";
    if (fresh_) stampCalibration();
    return "";
}

void RunHost::stampCalibration() {
    const RunState& st = engine_->state();
    std::vector<StampedZone> zones;
    for (std::size_t i = 0; i < engine_->zoneCount() && i < st.zones.size(); ++i) {
        const ZoneState& z = st.zones[i];
        const ZoneFacts& f = engine_->zoneFacts(i);
        zones.push_back({int(i), z.port + " id " + formatWhole(z.id),
                         z.device.empty() ? runDevice(z.port) : z.device, z.id, f.unit, f.digits,
                         engine_->zone(i).corrections()});
    }
    CalibrationStamp stamp =
        calibrationStamp(loadCalibrationBook(calibrationBookPath()), zones, st.opened);
    warnings_ = std::move(stamp.warnings);
    // For the record alone: the listeners heard the start, and a calibration
    // past due reaches the person as a warning.
    for (RunEvent& e : stamp.events)
        e.segment = st.segment;
    recorder_->runUpdated(RunUpdate{st, {}, std::move(stamp.events), false});
}

void RunHost::endHere() {
    addListeners(*engine_, *recorder_, listeners_, *endWatch_);
    engine_->stopStored();
}

RunHost::Asked RunHost::tick() {
    if (engine_->ended()) return Asked::nothing;
    // Another process may ask through the store, as `q7 run --stop` and
    // `q7 run --continue` ask.
    // A store that does not read asks nothing: the firing goes on, and its
    // record's failure is told.
    if (const auto id = runId()) {
        const auto stop = store_.stopRequested(*id);
        if (stop.found() && *stop) {
            engine_->stop();
            return Asked::stop;
        }
    }
    takeMarks();
    takeChanges();
    const bool proceed = continueAsked();
    if (proceed) engine_->proceed();
    engine_->tick();
    return proceed ? Asked::proceed : Asked::nothing;
}

void RunHost::takeMarks() {
    const auto id = runId();
    if (!id) return;
    const auto asked = store_.marksAsked(*id);
    if (asked.failed() || asked->empty()) return;
    for (const RunStore::MarkAsked& m : *asked) {
        if (!m.field)
            mark(m.asked, m.text);
        else if (const auto f = fieldOfText(m.text))
            field(m.asked, *f);
        // Taken whether or not the record took it: its failure is told once,
        // and the mark is not told again at every poll.
        store_.takeMark(m.request, wallSeconds(), nullptr);
    }
}

void RunHost::mark(double at, const std::string& text) {
    note(at, EventKind::mark, text);
}

void RunHost::field(double at, const RunField& f) {
    note(at, EventKind::field, fieldText(f));
}

void RunHost::note(double at, EventKind kind, const std::string& text) {
    const RunState& st = engine_->state();
    RunUpdate u{st, {}, {RunEvent{at, std::nullopt, kind, st.segment, text}}, false};
    recorder_->runUpdated(u);
    for (RunListener* l : listeners_)
        l->runUpdated(u);
}

std::string makeChange(RunEngine& engine, const RunStore::ChangeAsked& c) {
    switch (c.change) {
    case RunStore::Change::skip:
        return engine.skipSegment(c.who);
    case RunStore::Change::extend:
        return engine.extendHold(c.seconds, c.who);
    case RunStore::Change::target:
        if (!c.value) return "a target takes a temperature";
        return engine.changeTarget(*c.value, c.who);
    case RunStore::Change::rate:
        return engine.changeRate(c.value, c.who);
    }
    return "";
}

void RunHost::takeChanges() {
    const auto id = runId();
    if (!id) return;
    const auto asked = store_.changesAsked(*id);
    if (asked.failed() || asked->empty()) return;
    for (const RunStore::ChangeAsked& c : *asked) {
        const std::string refused = makeChange(*engine_, c);
        // Taken once, done or refused: the asker hears which.
        store_.takeChange(c.request, wallSeconds(), refused, nullptr);
    }
}

bool RunHost::continueAsked() {
    const auto id = runId();
    if (!id) return false;
    const auto asked = store_.continueRequested(*id);
    if (asked.failed()) return false;
    const std::optional<double> at = asked.found() ? std::optional<double>(*asked) : std::nullopt;
    const bool fresh = continueLooked_ && at && at != continueSeen_;
    continueLooked_ = true;
    continueSeen_ = at;
    return fresh && engine_->state().phase == RunPhase::paused;
}

std::string RunHost::newProblem() {
    if (toldProblem_ || recorder_->problem().empty()) return "";
    toldProblem_ = true;
    return recorder_->problem();
}

std::string RunHost::unrecorded() const {
    const RunRecorder& r = *recorder_;
    if (r.problem().empty()) return "";
    return r.problem() + (r.endKeptAside() ? "; its end is kept in " + store_.endJournalPath() +
                                                 ", and goes into the store once it can be written"
                                           : "");
}
