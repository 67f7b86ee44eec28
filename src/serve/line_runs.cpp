#include "serve/line_runs.h"

#include "alarms/controller_actions.h"
#include "alarms/run_view.h"
#include "base/clock.h"
#include "base/number_text.h"
#include "history/run_history.h"
#include "runs/controller_zone.h"
#include "runs/open_runs.h"
#include "runs/program_library.h"
#include "runs/records_conf.h"
#include "runs/run_host.h"
#include "runs/run_order.h"
#include "runs/write_estimate.h"
#include "runs/zone_list.h"
#include "serve/run_topics.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <sys/stat.h>
#include <utility>

namespace {

constexpr std::size_t kMaxProgramName = 64;

bool holdsId(const std::vector<int>& ids, int id) {
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}

std::string idsText(const std::vector<int>& ids) {
    std::string out;
    for (int id : ids)
        out += (out.empty() ? "" : ",") + std::to_string(id);
    return out;
}

// The program, zones and fields a run/start names: "bisque", or
// {"program":"bisque","zones":"1,2+10","fields":{"job":"A-17"}}. Empty, or
// why not.
std::string readStart(std::string_view payload, std::string* program, std::string* zones,
                      std::vector<RunField>* fields) {
    payload = trimmed(payload);
    if (!payload.empty() && payload.front() == '{') {
        const QJsonDocument doc =
            QJsonDocument::fromJson(QByteArray(payload.data(), qsizetype(payload.size())));
        if (!doc.isObject()) return "malformed: the JSON does not read";
        const QJsonObject o = doc.object();
        for (const QString& key : o.keys())
            if (key != "program" && key != "zones" && key != "fields")
                return "malformed: run/start takes program, zones and fields";
        if (!o.value("program").isString() || (o.contains("zones") && !o.value("zones").isString()))
            return "malformed: program and zones are texts";
        *program = o.value("program").toString().toStdString();
        *zones = o.value("zones").toString().toStdString();
        if (o.contains("fields") && !o.value("fields").isObject())
            return "malformed: fields is an object of texts, {\"job\": \"A-17\"}";
        const QJsonObject given = o.value("fields").toObject();
        for (auto f = given.begin(); f != given.end(); ++f) {
            if (!f.value().isString())
                return "malformed: fields is an object of texts, {\"job\": \"A-17\"}";
            std::string why;
            const auto field =
                parseField(f.key().toStdString() + "=" + f.value().toString().toStdString(), &why);
            if (!field) return "malformed: field " + why;
            fields->push_back(*field);
        }
    } else {
        *program = std::string(payload);
    }
    // A name from the library, never a path: nothing from the broker
    // reaches another file.
    if (program->empty() || program->size() > kMaxProgramName || !plainName(*program))
        return "malformed: the program is named by its file in the library, in letters, digits, "
               "'_' and '-'";
    return "";
}

// run/target's and run/rate's payload: the value, in the program's unit
// ("1040"; a rate per hour, or "full"), or {"target": 1040}, {"rate": "full"}.
std::string readSegmentValue(std::string_view payload, const std::string& verb,
                             std::optional<double>* value) {
    payload = trimmed(payload);
    std::string text(payload);
    const bool target = verb == "target";
    const std::string takes = target ? "a temperature in the program's unit, such as 1040"
                                     : "degrees per hour in the program's unit, or full";
    if (!payload.empty() && payload.front() == '{') {
        const QJsonDocument doc =
            QJsonDocument::fromJson(QByteArray(payload.data(), qsizetype(payload.size())));
        if (!doc.isObject()) return "malformed: the JSON does not read";
        const QJsonObject o = doc.object();
        const QJsonValue v = o.value(QString::fromStdString(verb));
        if (o.keys() != QStringList{QString::fromStdString(verb)} ||
            !(v.isDouble() || (!target && v.isString())))
            return "malformed: run/" + verb + " takes " + verb + ", " + takes;
        text = v.isDouble() ? numberText(v.toDouble()) : v.toString().toStdString();
    }
    const bool read = target ? (*value = parseReal(trimmed(text))).has_value()
                             : parseRateText(trimmed(text), value);
    if (!read) return "malformed: run/" + verb + " takes " + takes;
    return "";
}

// run/extend's payload: "H:MM" ("-H:MM" to shorten), or {"time": "H:MM"}.
std::string readExtend(std::string_view payload, double* seconds) {
    payload = trimmed(payload);
    std::string text(payload);
    if (!payload.empty() && payload.front() == '{') {
        const QJsonDocument doc =
            QJsonDocument::fromJson(QByteArray(payload.data(), qsizetype(payload.size())));
        if (!doc.isObject()) return "malformed: the JSON does not read";
        const QJsonObject o = doc.object();
        if (o.keys() != QStringList{"time"} || !o.value("time").isString())
            return "malformed: run/extend takes time, a text H:MM";
        text = o.value("time").toString().toStdString();
    }
    const auto parsed = parseHoldChange(trimmed(text));
    if (!parsed || *parsed == 0)
        return "malformed: run/extend takes H:MM, or -H:MM to shorten the hold, such as 0:30";
    *seconds = *parsed;
    return "";
}

} // namespace

struct LineRuns::Active {
    std::string name;
    std::vector<int> ids;
    std::unique_ptr<RunHost> host;
    std::unique_ptr<RunTopics> topics;
    RunEngine& engine() const { return host->engine(); }
};

namespace {

// Its figures are kept as it ends, so no list reads its samples again.
std::unique_ptr<RunHost> hostIn(RunStore& store) {
    return std::make_unique<RunHost>(store,
                                     [](RunStore& s, long long id) { keepEndedFigures(s, id); });
}

} // namespace

LineRuns::LineRuns(const LineConfig& line, TopicBase base, BridgeLine& bridgeLine, BrokerLink& link,
                   Log log)
    : line_(line), base_(std::move(base)), bridgeLine_(bridgeLine), link_(link),
      log_(std::move(log)) {}

LineRuns::~LineRuns() = default;

RunStore* LineRuns::store(std::string* why) {
    if (store_) return store_.get();
    store_ = openRunStore(why);
    if (!store_) return nullptr;
    if (!store_->notice().empty()) log_(store_->notice());
    return store_.get();
}

LineRuns::Active* LineRuns::holding(int id) {
    for (auto& run : runs_)
        if (holdsId(run->ids, id)) return run.get();
    return nullptr;
}

void LineRuns::place(int id, Reading& r) const {
    if (const auto at = selected_.find(id); at != selected_.end()) r.runSelected = at->second;
    if (const auto at = lastOutcome_.find(id); at != lastOutcome_.end()) {
        r.runPhase = "ended";
        r.runOutcome = outcomeName(at->second);
    }
    for (const auto& run : runs_) {
        if (!holdsId(run->ids, id)) continue;
        const RunEngine& e = run->engine();
        r.run = run->name;
        r.runProgram = e.state().programName;
        r.runPhase = e.holdingBack() ? "held back" : phaseName(e.state().phase);
        if (e.state().outcome) r.runOutcome = outcomeName(*e.state().outcome);
        if (e.ended()) return;
        // To the second: the finish moves only as the plan does.
        const auto finish =
            std::chrono::system_clock::now() + std::chrono::seconds(std::lround(e.secondsToGo()));
        r.runFinish = localIsoTime(std::chrono::floor<std::chrono::seconds>(finish));
        r.runSegment = e.state().segment + 1;
        r.runSegments = int(e.program().segments.size());
        if (const ProgramStep s = stepOf(e.program(), e.currentStep()); s.cycle) {
            r.runCycle = s.cycle;
            r.runCycles = e.program().repeat->times;
        }
        r.runSecondsToGo = std::lround(e.secondsToGo());
        const auto& zones = e.state().zones;
        for (std::size_t i = 0; i < zones.size(); ++i)
            if (zones[i].id == id) r.runPlanSv = run->topics->planSv(i);
        return;
    }
}

std::string LineRuns::runOf(int id) const {
    for (const auto& run : runs_)
        if (holdsId(run->ids, id)) return run->name;
    return "";
}

std::vector<std::string> LineRuns::names() const {
    std::vector<std::string> out;
    for (const auto& run : runs_)
        out.push_back(run->name);
    return out;
}

void LineRuns::afterSetting(int id, const std::string& change, CommandResult& r,
                            const std::string& from) {
    Active* run = holding(id);
    if (!run) return;
    RunEngine& e = run->engine();
    if (!change.empty() && e.state().phase == RunPhase::running) {
        e.pause(line_.name + " id " + std::to_string(id) + ": " + change + " " + from);
        run->topics->publish();
    }
    r.run = run->name;
    r.runPhase = phaseName(e.state().phase);
    if (e.state().phase == RunPhase::paused) r.runReason = e.state().pauseReason;
}

std::vector<int> LineRuns::takeEnded() {
    return std::exchange(endedZones_, {});
}

std::string LineRuns::uniqueName(const std::string& programName) const {
    const std::string base = runTopicName(programName);
    std::string name = base;
    for (int n = 2;; ++n) {
        const bool taken =
            std::any_of(runs_.begin(), runs_.end(), [&](const auto& r) { return r->name == name; });
        if (!taken) return name;
        name = base + "_" + std::to_string(n);
    }
}

// The stored run's zones as ids of this line; why not, when one is elsewhere.
std::string LineRuns::zonesOf(const StoredRun& run, std::vector<int>* ids) const {
    const std::string device = runDevice(line_.port);
    for (const ZoneState& z : run.state.zones) {
        if (!sameRunDevice(zoneDevice(z), device) || !holdsId(line_.ids, z.id))
            return "its zone " + z.port + " id " + std::to_string(z.id) + " is not on line " +
                   line_.name;
        ids->push_back(z.id);
    }
    return "";
}

// The unfinished run in the store that holds id on this line's device,
// whoever recorded it and by whatever name.
std::optional<StoredRun> LineRuns::storedHolding(int id, std::string* why) {
    RunStore* s = store(why);
    if (!s) return std::nullopt;
    const auto held = openRunHolding(*s, runDevice(line_.port), id);
    if (held.failed()) {
        *why = "the run store " + held.why();
        return std::nullopt;
    }
    if (!held.found()) return std::nullopt;
    return *held;
}

void LineRuns::note(Active& run, const std::string& text) {
    const auto id = run.host->runId();
    if (!id || !store_) return;
    RunEvent e;
    e.time = wallSeconds();
    e.kind = EventKind::operatorChange;
    e.segment = run.engine().state().segment;
    e.text = text;
    std::string why;
    if (!store_->addEvent(*id, e, &why)) log_(run.name + ": not recorded: " + text + ": " + why);
}

CommandResult LineRuns::command(int id, const std::string& verb, const std::string& payload,
                                const std::string& by) {
    CommandResult r;
    r.command = "run/" + verb;
    Active* run = holding(id);
    const std::string from = by.empty() ? "from the broker" : "from the web view by " + by;
    if (verb == "select") {
        // The program run/start with no payload starts here.
        std::string program, zones;
        std::vector<RunField> fields;
        r.reason = readStart(payload, &program, &zones, &fields);
        if (r.reason.empty() && (!zones.empty() || !fields.empty()))
            r.reason = "malformed: run/select takes a program";
        r.ok = r.reason.empty();
        if (r.ok) selected_[id] = program;
        return r;
    }
    if (verb == "start") {
        std::string name;
        const auto chosen = selected_.find(id);
        if (trimmed(payload).empty() && chosen == selected_.end()) {
            r.reason = "no program is selected: run/start names one, or run/select first";
            return r;
        }
        r.reason = start(id, trimmed(payload).empty() ? chosen->second : payload, &name);
        r.ok = r.reason.empty();
        if (r.ok) {
            if (!by.empty()) note(*runs_.back(), "started " + from);
            log_(runs_.back()->name + ": started on ids " + idsText(runs_.back()->ids) +
                 (by.empty() ? "" : " " + from) + "; " +
                 writesText(runs_.back()->engine().writes()));
        }
        return r;
    }
    if (!run) {
        // A run left by a process that no longer runs is this line's to go
        // on with or to end, as `q7 run --resume` and `--stop` would.
        std::string why;
        const auto stored = storedHolding(id, &why);
        if (stored && (verb == "resume" || verb == "stop")) {
            if (const std::string other = drivenElsewhere(*store_, *stored); !other.empty())
                r.reason = other;
            else
                r.reason = takeOver(*stored, verb == "stop");
        } else {
            r.reason = !why.empty() ? why
                       : stored     ? "run " + formatWhole(stored->id) +
                                      " waits to be resumed or stopped; it is not paused here"
                                : "no run holds id " + std::to_string(id);
        }
        r.ok = r.reason.empty();
        forgetEnded();
        return r;
    }
    RunEngine& engine = run->engine();
    if (verb == "stop") {
        if (!by.empty() && !engine.ended()) note(*run, "stopped " + from);
        engine.stop();
    } else if (verb == "pause") {
        if (engine.state().phase == RunPhase::paused)
            r.reason = "the run is paused already";
        else
            engine.pause("paused " + from);
    } else if (verb == "resume") {
        if (engine.state().phase != RunPhase::paused) {
            r.reason = "the run is not paused";
        } else {
            if (!by.empty()) note(*run, "continued " + from);
            engine.proceed();
        }
    } else if (verb == "skip") {
        r.reason = engine.skipSegment(by.empty() ? "the broker" : "the web view, " + by);
    } else if (verb == "extend") {
        double seconds = 0;
        r.reason = readExtend(payload, &seconds);
        if (r.reason.empty())
            r.reason =
                engine.extendHold(seconds, by.empty() ? "the broker" : "the web view, " + by);
    } else if (verb == "target" || verb == "rate") {
        std::optional<double> value;
        r.reason = readSegmentValue(payload, verb, &value);
        if (r.reason.empty()) {
            RunStore::ChangeAsked c;
            c.change = verb == "target" ? RunStore::Change::target : RunStore::Change::rate;
            c.value = value;
            c.who = by.empty() ? "the broker" : "the web view, " + by;
            r.reason = makeChange(engine, c);
        }
    } else if (verb == "mark") {
        const std::string text(trimmed(payload));
        if (const std::string why = markTextProblem(text); !why.empty())
            r.reason = "malformed: run/mark " + why;
        else if (engine.ended())
            r.reason = "the run has ended";
        else
            run->host->mark(wallSeconds(), by.empty() ? text : text + " (" + from + ")");
    } else {
        r.reason = kRunVerbs;
    }
    r.ok = r.reason.empty();
    run->topics->publish();
    forgetEnded();
    return r;
}

std::string LineRuns::start(int id, const std::string& payload, std::string* name) {
    std::string programName, zonesText;
    std::vector<RunField> fields;
    if (std::string why = readStart(payload, &programName, &zonesText, &fields); !why.empty())
        return why;
    // A site's record needs them: refused before anything is written.
    auto conf = loadRecordsConf(recordsConfPath());
    if (const auto* why = std::get_if<std::string>(&conf)) return *why;
    if (std::string why = std::get<RecordsConf>(conf).startProblem(fields); !why.empty())
        return why;
    std::vector<NamedZone> zones{{0, id, 0}};
    if (!zonesText.empty()) {
        if (zonesText.find(':') != std::string::npos)
            return "a zone on another line is not taken from the broker: name ids of line " +
                   line_.name;
        std::string why;
        auto parsed = parseZones(zonesText, 0, &why);
        if (!parsed) return "malformed: " + why;
        zones = *parsed;
    }
    // A topic's id is what a broker's access list grants: a run started
    // there drives that controller, with others of the line or alone, and
    // never others alone.
    if (std::none_of(zones.begin(), zones.end(), [&](const NamedZone& z) { return z.id == id; }))
        return "a run started on id " + std::to_string(id) + "'s topic has id " +
               std::to_string(id) + " among its zones; start it on the topic of one of them";
    std::vector<int> ids;
    for (const NamedZone& z : zones) {
        if (!holdsId(line_.ids, z.id))
            return "id " + std::to_string(z.id) + " is not on line " + line_.name;
        if (const Active* other = holding(z.id))
            return "id " + std::to_string(z.id) + " is a zone of the run " + other->name;
        ids.push_back(z.id);
    }
    // Read from the library alone, and told without a word of the file:
    // the broker learns where the program is wrong, not what it holds.
    std::string text, told;
    auto loaded = loadFiringProgram(libraryProgramPath(programName, kProgramLibrary), &text, &told);
    if (std::holds_alternative<std::string>(loaded)) return told;
    FiringProgram program = std::get<FiringProgram>(std::move(loaded));
    std::string why;
    RunStore* s = store(&why);
    if (!s) return why;
    // A controller an unfinished run holds is not taken by another.
    for (int zoneId : ids) {
        const auto other = runHolding(*s, runDevice(line_.port), zoneId);
        if (other.failed()) return "the run store " + other.why() + "; no run starts";
        if (!other.found()) continue;
        const std::string what = other->unfinishedOn("id " + std::to_string(zoneId));
        if (!other->driven.empty()) return what + ": " + other->driven;
        return what + ": run/resume goes on with it, run/stop ends it";
    }
    std::vector<EngineZone> engineZones;
    for (const NamedZone& z : zones) {
        Controller* c = bridgeLine_.controller(z.id, &why);
        if (!c) return "id " + std::to_string(z.id) + ": " + why;
        engineZones.push_back({std::make_unique<ControllerZone>(*c), line_.port, z.id, z.offset});
    }
    auto run = std::make_unique<Active>();
    run->name = uniqueName(program.name);
    run->ids = ids;
    run->host = hostIn(*s);
    run->host->begin(std::move(program), text, std::move(engineZones));
    listenTo(*run);
    if (std::string refused = run->host->open(); !refused.empty()) return refused;
    for (const RunField& f : fields)
        run->host->field(wallSeconds(), f);
    for (const std::string& w : run->host->warnings())
        log_(run->name + ": warning: " + w);
    *name = run->name;
    for (int zoneId : ids)
        lastRunEnded_.erase(zoneId), lastOutcome_.erase(zoneId);
    runs_.push_back(std::move(run));
    return "";
}

void LineRuns::listenTo(Active& run) {
    run.topics = std::make_unique<RunTopics>(run.engine(), runStateTopic(base_, run.name), link_);
    run.topics->recordedBy(run.host->recorder());
    run.host->listen(run.topics.get());
}

std::string LineRuns::takeOver(const StoredRun& stored, bool stop) {
    std::vector<int> ids;
    if (std::string why = zonesOf(stored, &ids); !why.empty()) return why;
    std::string unread, told;
    auto program = storedProgram(stored, &unread, &told);
    if (!program) return told;
    std::vector<EngineZone> zones;
    for (const ZoneState& z : stored.state.zones) {
        std::string why;
        Controller* c = bridgeLine_.controller(z.id, &why);
        // Ending it tries every zone, one that does not answer too.
        if (!c && !stop) return "id " + std::to_string(z.id) + ": " + why;
        if (!c) continue;
        zones.push_back({std::make_unique<ControllerZone>(*c), line_.port, z.id, z.offset});
    }
    if (zones.size() != stored.state.zones.size())
        return "a zone of run " + formatWhole(stored.id) + " cannot be reached to end it";
    auto run = std::make_unique<Active>();
    run->name = uniqueName(program->name);
    run->ids = ids;
    run->host = hostIn(*store_);
    if (stop)
        run->host->take(std::move(*program), stored, std::move(zones));
    else
        run->host->resume(std::move(*program), stored, std::move(zones));
    listenTo(*run);
    if (stop) {
        run->host->endHere();
        run->topics->publish();
        lastRunEnded_.insert(ids.begin(), ids.end());
        for (int zoneId : ids)
            lastOutcome_[zoneId] = run->engine().state().outcome.value_or(RunOutcome::stopped);
        log_(run->name + ": run " + formatWhole(stored.id) +
             " ended: " + outcomeName(run->engine().state().outcome.value_or(RunOutcome::stopped)));
        return "";
    }
    if (std::string refused = run->host->open(); !refused.empty()) return refused;
    log_(run->name + ": run " + formatWhole(stored.id) + " resumed on ids " + idsText(ids));
    for (int zoneId : ids)
        lastRunEnded_.erase(zoneId), lastOutcome_.erase(zoneId);
    runs_.push_back(std::move(run));
    return "";
}

void LineRuns::resumeStored() {
    // Asking about runs makes no store.
    struct stat st {};
    if (::stat(kRunStoreFile, &st) != 0) return;
    std::string why;
    RunStore* s = store(&why);
    if (!s) return log_(why);
    const auto open = openRunsOn(*s, runDevice(line_.port));
    if (open.failed()) return log_("the run store " + open.why() + "; no run is resumed");
    for (const StoredRun& run : *open) {
        if (run.state.kind != RunKind::program || !drivenElsewhere(*s, run).empty()) continue;
        const std::string what = "run " + formatWhole(run.id) + " (" + run.state.programName + ")";
        std::vector<int> ids;
        if (std::string elsewhere = zonesOf(run, &ids); !elsewhere.empty()) {
            log_(what + " is unfinished and left as it is: " + elsewhere);
            continue;
        }
        if (!line_.resume) {
            log_(what + " is unfinished on ids " + idsText(ids) +
                 " and no process drives it; each controller holds the last SV written. It is "
                 "left as it is: resume = yes goes on with it as the line starts, run/resume or "
                 "run/stop act on it");
            continue;
        }
        if (const std::string w = takeOver(run, false); !w.empty())
            log_(what + " not resumed: " + w);
    }
}

void LineRuns::tick() {
    for (auto& run : runs_) {
        if (run->host->tick() == RunHost::Asked::stop)
            log_(run->name + ": stop asked through the run store");
        if (const std::string problem = run->host->newProblem(); !problem.empty())
            log_(run->name + ": the run goes on unrecorded: " + problem);
    }
    forgetEnded();
}

void LineRuns::forgetIds(const std::vector<int>& ids) {
    for (int id : ids)
        lastRunEnded_.erase(id), lastOutcome_.erase(id), selected_.erase(id);
}

void LineRuns::forgetEnded() {
    for (auto it = runs_.begin(); it != runs_.end();) {
        Active& run = **it;
        if (!run.host->ended()) {
            ++it;
            continue;
        }
        // Its last state, with the outcome, stays retained.
        run.topics->publish();
        log_(run.name +
             ": ended: " + outcomeName(run.engine().state().outcome.value_or(RunOutcome::stopped)));
        if (const std::string unrecorded = run.host->unrecorded(); !unrecorded.empty())
            log_(run.name + ": the run went unrecorded: " + unrecorded);
        for (int id : run.ids) {
            endedZones_.push_back(id);
            lastRunEnded_.insert(id);
            lastOutcome_[id] = run.engine().state().outcome.value_or(RunOutcome::stopped);
        }
        it = runs_.erase(it);
    }
}

void LineRuns::closeStore() {
    // A run still open would record into it as it goes: finish() ended them.
    if (runs_.empty()) store_.reset();
}

void LineRuns::finish() {
    for (auto& run : runs_) {
        log_(run->name + ": the bridge stops: the run ends as its program says");
        run->engine().stop();
    }
    forgetEnded();
}

ActionResult LineRuns::hold(int id, const std::string& why) {
    Active* run = holding(id);
    if (!run) return {true, "not done: no run to pause", true};
    if (run->engine().state().phase != RunPhase::running)
        return {true, "not done: the run is not running"};
    run->engine().pause(why);
    run->topics->publish();
    return {true, "done"};
}

std::string LineRuns::recordAlarm(const AlarmEvent& e) {
    Active* run = holding(e.id);
    if (!run) return ""; // no run: the bridge's log is its record
    if (!run->host->runId()) return "the run has no record";
    const auto& zones = run->engine().state().zones;
    std::optional<int> zone;
    for (std::size_t i = 0; i < zones.size(); ++i)
        if (zones[i].id == e.id) zone = int(i);
    return recordInRun(*store_, *run->host->runId(), e, run->engine().state().segment, zone);
}

void LineRuns::describe(int id, AlarmObservation& o) {
    Active* run = holding(id);
    if (!run) {
        // The engine that ran it is gone: the end is told from here.
        if (lastRunEnded_.count(id)) o.run = AlarmObservation::Run::ended;
        return;
    }
    const auto& zones = run->engine().state().zones;
    for (std::size_t i = 0; i < zones.size(); ++i)
        if (zones[i].id == id) {
            o.planSv = run->topics->planSv(i);
            addRunView(run->engine(), i, o);
        }
}
