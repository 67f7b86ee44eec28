#include "serve/bridge.h"

#include "base/json_writer.h"
#include "base/number_text.h"
#include "base/typed_number.h"
#include "params/mode_write.h"
#include "runs/program_library.h"
#include "serve/messages.h"

#include <algorithm>
#include <cmath>
#include <string_view>
#include <variant>

#include <QString>
#include <QSysInfo>

namespace {

// A state is published when it changes, and at least this often.
constexpr auto kStateAtLeastEvery = std::chrono::seconds(60);
// Parameters that could not be read whole are tried again this often.
constexpr auto kParametersRetry = std::chrono::seconds(60);
// A parameter read costs the line some 26 requests: asked for, it is made
// at most this often per controller.
constexpr auto kParametersAtMostEvery = std::chrono::seconds(10);
constexpr std::size_t kMaxWaitingCommands = 32;
constexpr std::size_t kMaxWaitingRunCommands = 4; // per controller
// Polls in a row without a good reply that make a controller offline: one
// may be lost to noise, two are not.
constexpr int kMissedPolls = 2;
// Every port is opened with this time-out for a reply.
constexpr auto kReplyTimeout = std::chrono::seconds(1);
// The cycle is told again once it moved by more than this part of itself,
// judged over this many cycles.
constexpr double kCycleChange = 0.1;
constexpr std::size_t kCyclesJudged = 3;

std::optional<double> parameterValue(const std::vector<Parameter>& list, std::string_view key) {
    for (const Parameter& p : list)
        if (p.key == key) return parseReal(p.number);
    return std::nullopt;
}

// Who gave a command, as a run's pause and the log tell it.
std::string fromOf(const std::string& by) {
    return by.empty() ? "from the broker" : "from the web view by " + by;
}

double secondsOf(Clock::TimePoint::duration d) {
    return std::chrono::duration<double>(d).count();
}

// "3.6", "12"
std::string secondsText(double s) {
    return formatFixed(s, s < 10 ? 1 : 0);
}

// The web view as Home Assistant links to it: on the listen address, or
// on this machine's name where it listens on every address.
std::string webViewUrl(const WebConfig& web) {
    const auto colon = web.listen.rfind(':');
    if (web.listen.empty() || colon == std::string::npos) return "";
    std::string host = web.listen.substr(0, colon);
    if (host.empty() || host == "0.0.0.0" || host == "::" || host == "[::]")
        host = QSysInfo::machineHostName().toStdString();
    const bool tls = !web.certificate.empty();
    return std::string(tls ? "https://" : "http://") + host + ":" + web.listen.substr(colon + 1) +
           "/";
}

} // namespace

Bridge::Bridge(const ServeConfig& config, std::size_t line, BridgeLine& bridgeLine,
               BrokerLink& link, Log log, AlarmRules rules)
    : lineConfig_(config.lines.at(line)), homeAssistant_(config.broker.homeAssistant),
      interval_(std::chrono::duration_cast<Clock::TimePoint::duration>(
          std::chrono::duration<double>(config.lines.at(line).interval))),
      base_{config.broker.prefix, config.lines.at(line).name}, line_(bridgeLine), link_(link),
      log_(std::move(log)), next_(lineConfig_.ids.size()), nextCycle_(lineClock().now()),
      lastGood_(lineClock().now()) {
    for (int id : lineConfig_.ids) {
        shown_[id];
        for (const char* commands : kCommandTopics)
            link_.subscribe(base_.of(id, commands));
    }
    runs_ = std::make_unique<LineRuns>(lineConfig_, base_, line_, link_, log_);
    alarms_ = std::make_unique<LineAlarms>(std::move(rules), lineConfig_.writes, base_, line_,
                                           *runs_, link_, log_);
    alarms_->useSecrets(config.broker.notify);
    if (homeAssistant_) link_.subscribe(kHomeAssistantStatus);
    seenConfig_ = lineConfig_;
    webUrl_ = webViewUrl(config.web);
    readPrograms();
}

void Bridge::readPrograms() {
    programs_.clear();
    if (!lineConfig_.runs) return;
    const auto listed = listLibrary(kProgramLibrary);
    if (!std::holds_alternative<std::vector<LibraryEntry>>(listed)) return;
    // By the names run/start takes, and only those a run would take.
    constexpr std::string_view suffix = ".q7p";
    for (const LibraryEntry& e : std::get<std::vector<LibraryEntry>>(listed)) {
        if (!std::holds_alternative<FiringProgram>(e.program)) continue;
        std::string name = e.file;
        if (name.size() > suffix.size() && name.ends_with(suffix))
            name.resize(name.size() - suffix.size());
        if (plainName(name) && name.size() <= 64) programs_.push_back(name);
    }
}

RunOffer Bridge::runOffer(int id) const {
    RunOffer o;
    o.control = lineConfig_.runs;
    o.zone = o.control || !runs_->runOf(id).empty();
    o.programs = programs_;
    o.webUrl = webUrl_;
    return o;
}

void Bridge::serveModbus(ModbusDesk& desk, const ModbusConfig& config) {
    // Another master's setting is made as the broker's is: a run it drives
    // pauses, and the state shows what the controller holds now.
    auto write = [this](int id, Setting what, uint16_t word) {
        const SettingResult s = line_.setWord(id, what, word);
        if (what != Setting::out) {
            CommandResult r;
            runs_->afterSetting(id, !s.taken ? "" : what == Setting::sv ? "SV set" : "mode set", r,
                                "by another master over Modbus TCP");
        }
        poll(id);
        return s;
    };
    modbus_ = std::make_unique<LineModbus>(config, lineConfig_, line_, desk, write, log_);
}

std::string Bridge::who(int id) const {
    return lineConfig_.name + "/" + std::to_string(id);
}

void Bridge::run(Inbox& inbox) {
    bool resume = false;
    {
        std::lock_guard lock(seenMutex_);
        resume = runChanging_ = !closing_;
    }
    if (resume) runs_->resumeStored();
    noteRuns();
    if (modbus_) modbus_->attach([&inbox] { inbox.wake(); });
    while (!inbox.stopped()) {
        std::optional<LineChange> change;
        {
            std::lock_guard lock(offeredMutex_);
            change.swap(offered_);
        }
        if (change) takeChange(std::move(*change));
        for (const BrokerEvent& e : inbox.take())
            handle(e);
        answerDropped(inbox.takeDropped());
        if (inbox.stopped()) break;
        if (const auto until = turn())
            for (const BrokerEvent& e : inbox.wait(*until))
                handle(e);
    }
    finish();
}

std::optional<Clock::TimePoint> Bridge::turn() {
    if (check_) {
        const int id = *check_;
        poll(id);
        return std::nullopt;
    }
    const auto now = lineClock().now();
    if (next_ >= lineConfig_.ids.size() && now >= nextCycle_) startCycle(now);
    const bool pollDue = next_ < lineConfig_.ids.size();
    // Commands and polls take turns: a poll that is due waits one command at
    // most. Run commands go first: a flood of settings never holds them up.
    std::deque<Pending>& queue = runCommands_.empty() ? commands_ : runCommands_;
    // Another master's requests take turns with the broker's commands.
    const bool modbusDue = modbus_ && modbus_->due();
    if ((!queue.empty() || modbusDue) && (!pollDue || !commandLast_)) {
        commandLast_ = true;
        modbusLast_ = modbusDue && (queue.empty() || !modbusLast_);
        if (modbusLast_) {
            modbus_->serveOne();
            return std::nullopt;
        }
        const Pending p = queue.front();
        queue.pop_front();
        if (!p.run.empty())
            runRunCommand(p);
        else if (p.what)
            runCommand(p);
        else
            serveParameters(p.id, true);
        return std::nullopt;
    }
    commandLast_ = false;
    if (!pollDue && runsDue_) {
        runsDue_ = false;
        runs_->tick();
        noteRuns();
        pollEnded(std::nullopt);
        return std::nullopt;
    }
    if (!pollDue) return nextCycle_;
    poll(lineConfig_.ids[next_++]);
    return std::nullopt;
}

void Bridge::startCycle(Clock::TimePoint now) {
    // A cycle that took longer than the interval is not made up for: the
    // next one starts an interval after this one did.
    nextCycle_ = now - nextCycle_ < interval_ ? nextCycle_ + interval_ : now + interval_;
    next_ = 0;
    runsDue_ = runs_->any();
    if (alarms_) alarms_->reap();
    if (cycleStart_) {
        cycle_ = now - *cycleStart_;
        cycles_.push_back(std::round(secondsOf(*cycle_) * 10) / 10);
        if (cycles_.size() > kCyclesJudged) cycles_.pop_front();
        // The pace the line keeps: a cycle drawn out once by a parameter
        // read or a command is no change of it.
        const double s = *std::min_element(cycles_.begin(), cycles_.end());
        if (cycles_.size() == kCyclesJudged &&
            (toldCycle_ == 0 || std::abs(s - toldCycle_) > kCycleChange * toldCycle_)) {
            toldCycle_ = s;
            const std::string count =
                std::to_string(lineConfig_.ids.size()) +
                (lineConfig_.ids.size() == 1 ? " controller" : " controllers");
            const double asked = lineConfig_.interval;
            const std::string line = "line " + lineConfig_.name + ": ";
            if (s > asked * (1 + kCycleChange))
                log_(line + "polling the " + count + " every " + secondsText(s) + " s, not every " +
                     secondsText(asked) + " s as the interval asks: the line is too slow for it");
            else
                log_(line + "polling the " + count + " every " + secondsText(s) + " s");
            publishStatus();
        }
    }
    cycleStart_ = now;
}

Clock::TimePoint::duration Bridge::cycleGuess() const {
    return std::max(interval_, cycle_.value_or(interval_));
}

void Bridge::handle(const BrokerEvent& e) {
    if (e.kind == BrokerEvent::Kind::message) return command(e);
    link_.handle(e);
}

void Bridge::publishRetained(const std::string& topic, const std::string& payload) {
    link_.publish(topic, payload, true);
}

void Bridge::reject(int id, const std::string& command, std::optional<double> value,
                    const std::string& reason, const Reply& reply) {
    CommandResult r;
    r.command = command;
    r.value = value;
    r.reason = reason + "; nothing was sent";
    r.digits = command == "sv" ? shown_[id].decimals.value_or(1) : 1;
    const std::string json = resultJson(r);
    link_.publish(base_.of(id, "result"), json, false);
    if (reply) reply(json);
    log_(who(id) + ": " + (command.empty() ? "a command" : command) + " refused: " + r.reason);
}

// Nothing of a message reaches the line but a checked number or a mode's
// code, and nothing of it reaches a log, a file or a format but the id and
// a plain command name.
void Bridge::command(const BrokerEvent& e) {
    if (e.topic == kHomeAssistantStatus) {
        // Home Assistant (re)started: it takes every config again.
        if (trimmed(e.payload) == "online")
            for (const auto& [topic, payload] : discovery_)
                if (!payload.empty()) publishRetained(topic, payload);
        return;
    }
    const auto c = parseCommandTopic(base_, e.topic);
    if (!c || !shown_.count(c->id)) { // not a topic of ours
        if (e.reply) e.reply("{\"ok\":false,\"reason\":\"not a controller of this line\"}");
        return;
    }
    const Reply& reply = e.reply;
    // The broker keeps a retained message and hands it to every new
    // subscription: a command kept from some time ago would be carried out
    // again at every start and reconnection of the bridge. It is refused
    // whenever it comes, and cleared from the broker; an empty one is such
    // a clearing.
    if (e.retained) {
        if (e.payload.empty() && !e.tooLong) return;
        link_.publish(base_.of(c->id, c->verb + "/" + c->name), "", true);
        return reject(c->id, c->name, {},
                      "a retained command is not taken; it was cleared from the broker, publish "
                      "it unretained");
    }
    if (c->verb == "run") {
        const std::string command = "run/" + c->name;
        if (!isRunVerb(c->name))
            return reject(c->id, command, {}, kRunVerbs, reply);
        if (!lineConfig_.runs)
            return reject(c->id, command, {},
                          "not allowed: the bridge's config does not name run in writes", reply);
        if (e.tooLong) return reject(c->id, command, {}, "the payload is over 256 bytes", reply);
        // Their own queue, bounded per controller: another's flood takes no place of theirs.
        const auto waiting = std::count_if(runCommands_.begin(), runCommands_.end(),
                                           [&](const Pending& p) { return p.id == c->id; });
        if (waiting >= long(kMaxWaitingRunCommands))
            return reject(c->id, command, {}, "too many run commands are waiting for this id",
                          reply);
        runCommands_.push_back({c->id, std::nullopt, 0, c->name, e.payload, reply, e.by});
        return;
    }
    if (c->verb == "get") {
        if (c->name != "parameters") return reject(c->id, c->name, {}, "get takes parameters");
        return askParameters(c->id);
    }
    const auto what = settingNamed(c->name);
    if (!what) return reject(c->id, c->name, {}, "set takes sv, mode or out", reply);
    if (e.tooLong) return reject(c->id, c->name, {}, "the payload is over 256 bytes", reply);
    const std::string_view text = trimmed(e.payload);
    std::optional<double> value;
    std::string notNumber;
    if (*what == Setting::mode) {
        if (const auto mode = settableMode(text)) value = codeOf(*mode);
    } else {
        const TypedNumber typed = parseTypedNumber(text);
        value = typed.value;
        notNumber = typed.problem;
    }
    if (!lineConfig_.writes.count(*what))
        return reject(c->id, c->name, value,
                      "not allowed: the bridge's config does not name " + c->name + " in writes",
                      reply);
    if (!value)
        return reject(c->id, c->name, {},
                      *what == Setting::mode ? "malformed: mode takes off, on, at1, at2 or manual"
                                             : "malformed: " + c->name + " " + notNumber,
                      reply);
    if (commands_.size() >= kMaxWaitingCommands)
        return reject(c->id, c->name, value, "too many commands are waiting", reply);
    commands_.push_back({c->id, *what, *value, "", "", reply, e.by});
}

// What the inboxes dropped is answered: the command was not carried out.
void Bridge::answerDropped(const Inbox::Dropped& dropped) {
    if (dropped.count == 0) return;
    log_(std::to_string(dropped.count) +
         " command(s) dropped: more came in than the line can take");
    for (const auto& [topic, count] : dropped.topics) {
        const auto c = parseCommandTopic(base_, topic);
        if (!c || !shown_.count(c->id)) continue;
        reject(c->id, c->verb == "run" ? "run/" + c->name : c->name, {},
               "dropped: more commands came in than the line can take (" + std::to_string(count) +
                   " of " + c->verb + "/" + c->name + ")");
    }
}

// Commands that will not be carried out now: each is told why.
void Bridge::refuseWaiting(const std::function<bool(const Pending&)>& which,
                           const std::string& why) {
    for (std::deque<Pending>* queue : {&runCommands_, &commands_})
        for (auto it = queue->begin(); it != queue->end();) {
            if (!which(*it)) {
                ++it;
                continue;
            }
            const Pending p = *it;
            it = queue->erase(it);
            reject(p.id,
                   !p.run.empty() ? "run/" + p.run
                   : p.what       ? std::string(settingName(*p.what))
                                  : "parameters",
                   p.what ? std::optional<double>(p.value) : std::nullopt, why, p.reply);
        }
}

void Bridge::askParameters(int id) {
    const bool waiting = std::any_of(commands_.begin(), commands_.end(),
                                     [&](const Pending& p) { return p.id == id && !p.what; });
    if (waiting) return reject(id, "parameters", {}, "a read of them is waiting already");
    const Shown& s = shown_[id];
    const auto now = lineClock().now();
    if (s.parametersTried && now - *s.parametersTried < kParametersAtMostEvery) {
        const double wait = std::ceil(secondsOf(*s.parametersTried + kParametersAtMostEvery - now));
        return reject(id, "parameters", {},
                      "they are read at most once every 10 s; the latest read is retained on " +
                          base_.of(id, "parameters") + "; ask again in " + formatFixed(wait, 0) +
                          " s");
    }
    if (commands_.size() >= kMaxWaitingCommands)
        return reject(id, "parameters", {}, "too many commands are waiting");
    commands_.push_back({id, std::nullopt, 0, "", ""});
}

void Bridge::runCommand(const Pending& p) {
    const SettingResult s = line_.set(p.id, *p.what, p.value);
    CommandResult r;
    r.command = std::string(settingName(*p.what));
    // As written: rounded to the digits the controller takes, as the write was.
    r.value = *p.what == Setting::mode ? p.value : roundedTo(p.value, s.digits);
    r.ok = s.ok;
    r.reason = s.reason;
    r.holds = s.holds;
    r.digits = s.digits;
    // A set value or mode put in the place of a run's: the run pauses, and
    // the result says so.
    if (*p.what != Setting::out)
        runs_->afterSetting(p.id,
                            !s.taken ? ""
                            : *p.what == Setting::mode
                                ? "mode set to " + modeName(int(p.value))
                                : "SV set to " + formatFixed(*r.value, s.digits),
                            r, fromOf(p.by));
    const std::string json = resultJson(r);
    link_.publish(base_.of(p.id, "result"), json, false);
    if (p.reply) p.reply(json);
    log_(who(p.id) + ": set " + r.command + (p.by.empty() ? "" : " " + fromOf(p.by)) + ": " + json);
    // The state shows what the controller now holds without waiting a cycle.
    poll(p.id);
}

void Bridge::runRunCommand(const Pending& p) {
    {
        // A reload that closes the line's port takes it only while no run is
        // open there: none starts once it has.
        std::lock_guard lock(seenMutex_);
        if (closing_)
            return reject(p.id, "run/" + p.run, {}, "the line is being restarted by a reload",
                          p.reply);
        runChanging_ = true;
    }
    const CommandResult r = runs_->command(p.id, p.run, p.payload, p.by);
    noteRuns();
    const std::string json = resultJson(r);
    link_.publish(base_.of(p.id, "result"), json, false);
    if (p.reply) p.reply(json);
    log_(who(p.id) + ": " + r.command + (p.by.empty() ? "" : " " + fromOf(p.by)) + ": " + json);
    // The state names the run the controller now belongs to, or no longer.
    pollEnded(p.id);
}

// The zones of a run that ended are polled at once: their states name the
// run until then, and the next cycle may be a long interval away.
void Bridge::pollEnded(std::optional<int> also) {
    std::vector<int> ids = runs_->takeEnded();
    if (also && std::find(ids.begin(), ids.end(), *also) == ids.end())
        ids.insert(ids.begin(), *also);
    for (int id : ids)
        if (shown_.count(id)) poll(id);
}

void Bridge::setAvailable(int id, bool available, const std::string& why) {
    Shown& s = shown_[id];
    if (s.available == available && (available || s.why == why)) return;
    const bool changed = s.available != available;
    s.why = available ? "" : why;
    if (available) {
        log_(who(id) + ": answers");
        // A controller that comes back may have been changed, or swapped.
        s.parametersRead = false;
        s.parametersTried.reset();
    } else {
        log_(who(id) + ": offline: " + why);
    }
    s.available = available;
    if (changed) publishRetained(base_.of(id, "available"), available ? "online" : "offline");
}

// A miss long after the line's last good reply may be one silent controller
// whose poll took long: the controller that answered last is asked next,
// and when it misses too, the line is dead.
void Bridge::lineMissed(int id, Clock::TimePoint now, const std::string& why) {
    if (lineDead_ || now - lastGood_ < interval_ + kReplyTimeout) return;
    if (lastGoodId_ && check_ != id) {
        check_ = lastGoodId_;
        return;
    }
    check_.reset();
    lineDead_ = true;
    const std::string silent = "no controller on the line has given a good reply for " +
                               secondsText(secondsOf(now - lastGood_)) + " s (" + why + ")";
    log_("line " + lineConfig_.name + ": " + silent + "; every controller on it is offline");
    for (int other : lineConfig_.ids)
        if (shown_[other].available != false) setAvailable(other, false, silent);
}

void Bridge::poll(int id) {
    Shown& s = shown_[id];
    Reading r = line_.poll(id);
    runs_->place(id, r);
    const auto now = lineClock().now();
    if (!r.answered) {
        if (r.stopped) return; // not made: it says nothing of the controller
        if (polled_) polled_(id, false);
        ++s.missed;
        if (s.missed >= kMissedPolls)
            setAvailable(id, false,
                         "no good reply to " + std::to_string(kMissedPolls) + " polls in a row (" +
                             r.why + ")");
        lineMissed(id, now, r.why);
        publishStatus();
        if (alarms_) alarms_->observe(id, r, s.available == false);
        return;
    }
    if (polled_) polled_(id, true);
    if (modbus_) modbus_->polled(id, r);
    lastGood_ = now;
    lastGoodId_ = id;
    check_.reset();
    lineDead_ = false;
    s.missed = 0;
    setAvailable(id, true, "");
    if (alarms_) alarms_->observe(id, r, false);
    // Values come from good replies only: a silent controller's state stays
    // as it was last read, and `available` says it is old. The state is
    // given again before a minute has passed, even when nothing changed:
    // the next poll might come after the minute.
    const auto wall = std::chrono::system_clock::now();
    const std::string values = stateValues(r).str();
    if (values != s.values || !s.stateAt ||
        now - *s.stateAt + 2 * cycleGuess() >= kStateAtLeastEvery) {
        publishRetained(base_.of(id, "state"), stateJson(r, wall));
        s.values = values;
        s.stateAt = now;
    }
    if (r.decimals) s.decimals = r.decimals;
    if (r.unit && r.decimals) {
        s.facts.unit = *r.unit;
        s.facts.decimals = *r.decimals;
        publishDiscovery(id);
    }
    if (reading_) {
        Reading full = r;
        if (!full.unit && !s.facts.unit.empty()) full.unit = s.facts.unit;
        if (!full.decimals) full.decimals = s.decimals;
        reading_(id, full, wall);
    }
    publishStatus();
    if (!s.parametersRead && (!s.parametersTried || now - *s.parametersTried >= kParametersRetry))
        serveParameters(id, false);
}

void Bridge::serveParameters(int id, bool asked) {
    Shown& s = shown_[id];
    std::string why;
    const auto list = line_.readParameters(id, &why);
    const bool first = !s.parametersTried;
    s.parametersTried = lineClock().now();
    if (list) {
        s.parametersRead = true;
        publishRetained(base_.of(id, "parameters"), parametersJson(*list));
        s.facts.low = parameterValue(*list, "lo_limit");
        s.facts.high = parameterValue(*list, "hi_limit");
        publishDiscovery(id);
    } else if (asked || first) {
        log_(who(id) + ": parameters not read: " + why);
    }
    if (!asked) return;
    CommandResult r;
    r.command = "parameters";
    r.ok = list.has_value();
    r.reason = why;
    link_.publish(base_.of(id, "result"), resultJson(r), false);
}

// Only once the thermostat's limits are known: without them Home Assistant
// would offer set values within limits of its own.
void Bridge::publishDiscovery(int id) {
    Shown& s = shown_[id];
    if (!homeAssistant_ || s.facts.unit.empty() || !s.facts.low || !s.facts.high) return;
    std::vector<DiscoveryMessage> messages;
    if (discovery_.empty()) messages = bridgeDiscoveryMessages(base_.prefix);
    // An old topic is cleared before the new one takes its entity's id.
    if (!s.discoveryShown)
        for (const std::string& former : formerDiscoveryTopics(base_, id))
            publishRetained(former, "");
    s.discoveryShown = true;
    for (const DiscoveryMessage& m :
         discoveryMessages(base_, id, s.facts, lineConfig_.writes, runOffer(id)))
        messages.push_back(m);
    for (const auto& [topic, payload] : messages) {
        const auto [at, first] = discovery_.try_emplace(topic, payload);
        if (!first && at->second == payload) continue;
        at->second = payload;
        publishRetained(topic, payload);
    }
}

void Bridge::publishStatus() {
    JsonObject o;
    if (cycle_) o.number("cycle", toldCycle_, 1);
    o.number("interval", lineConfig_.interval, lineConfig_.interval < 10 ? 1 : 0);
    int answering = 0;
    JsonObject offline;
    for (const auto& [id, s] : shown_) {
        answering += s.available == true;
        if (s.available == false) offline.text(std::to_string(id), s.why);
    }
    o.whole("controllers", long(lineConfig_.ids.size())).whole("answering", answering);
    o.object("offline", offline);
    const std::string payload = o.str();
    if (payload == status_) return;
    status_ = payload;
    publishRetained(lineStatusTopic(base_), payload);
}

void Bridge::finish() {
    refuseWaiting([](const Pending&) { return true; }, "the bridge is stopping");
    if (modbus_) modbus_->finish();
    runs_->finish();
    noteRuns();
    // No poll follows the ends of the runs the bridge's stop ended: the
    // rules on a run's end are told of it here, once.
    for (int id : runs_->takeEnded())
        if (alarms_ && shown_.count(id)) alarms_->observe(id, Reading{}, false);
    runs_->closeStore();
    for (int id : lineConfig_.ids) {
        Shown& s = shown_[id];
        s.why = "the bridge has stopped";
        if (s.available != false) publishRetained(base_.of(id, "available"), "offline");
        s.available = false;
    }
    publishStatus();
}
