#include "serve/bridge.h"

#include "base/number_text.h"
#include "base/typed_number.h"
#include "params/mode_write.h"
#include "serve/messages.h"

#include <algorithm>
#include <cctype>

namespace {

// A state is published when it changes, and at least this often.
constexpr auto kStateAtLeastEvery = std::chrono::seconds(60);
// Parameters that could not be read whole are tried again this often.
constexpr auto kParametersRetry = std::chrono::seconds(60);
constexpr std::size_t kMaxWaitingCommands = 32;

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())))
        s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
        s.remove_suffix(1);
    return s;
}

std::optional<double> parameterValue(const std::vector<Parameter>& list, std::string_view key) {
    for (const Parameter& p : list)
        if (p.key == key) return parseReal(p.number);
    return std::nullopt;
}

} // namespace

Bridge::Bridge(const ServeConfig& config, std::size_t line, BridgeLine& bridgeLine, MqttLink& link,
               Inbox& inbox, Log log)
    : config_(config),
      lineConfig_(config.lines.at(line)), base_{config.broker.prefix, config.lines.at(line).name},
      line_(bridgeLine), link_(link), inbox_(inbox), log_(std::move(log)) {
    for (int id : lineConfig_.ids) {
        shown_[id];
        link_.subscribe(base_.of(id, "set/+"));
        link_.subscribe(base_.of(id, "get/+"));
    }
}

std::string Bridge::who(int id) const {
    return lineConfig_.name + "/" + std::to_string(id);
}

void Bridge::run() {
    const auto interval = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(lineConfig_.interval));
    Clock::time_point nextCycle = Clock::now();
    std::size_t next = lineConfig_.ids.size(); // the next id to poll in this cycle
    while (!inbox_.stopped()) {
        for (const BrokerEvent& e : inbox_.take())
            handle(e);
        if (const std::size_t n = inbox_.takeDropped())
            log_(std::to_string(n) + " command(s) dropped: more came in than the line can take");
        // Commands go between two polls, each on the line alone.
        if (!commands_.empty()) {
            const Pending p = commands_.front();
            commands_.pop_front();
            runCommand(p);
        } else if (!parametersAsked_.empty()) {
            const int id = *parametersAsked_.begin();
            parametersAsked_.erase(parametersAsked_.begin());
            serveParameters(id, true);
        } else if (next < lineConfig_.ids.size()) {
            poll(lineConfig_.ids[next++]);
        } else if (Clock::now() >= nextCycle) {
            // A cycle that took longer than the interval is not made up for.
            nextCycle = std::max(nextCycle + interval, Clock::now());
            next = 0;
        } else {
            for (const BrokerEvent& e : inbox_.wait(nextCycle))
                handle(e);
        }
    }
    for (int id : lineConfig_.ids)
        publishRetained(base_.of(id, "available"), "offline");
}

void Bridge::handle(const BrokerEvent& e) {
    if (e.kind == BrokerEvent::Kind::message) return command(e);
    if (!link_.handle(e)) return;
    // A broker that was away, or restarted and forgot, gets the latest of
    // everything kept for newcomers.
    for (const auto& [topic, payload] : retained_)
        link_.publish(topic, payload, true);
}

void Bridge::publishRetained(const std::string& topic, const std::string& payload) {
    retained_[topic] = payload;
    link_.publish(topic, payload, true);
}

void Bridge::reject(int id, const std::string& command, std::optional<double> value,
                    const std::string& reason) {
    CommandResult r;
    r.command = command;
    r.value = value;
    r.reason = reason + "; nothing was sent";
    r.digits = command == "sv" ? shown_[id].last.decimals.value_or(1) : 1;
    link_.publish(base_.of(id, "result"), resultJson(r), false);
    log_(who(id) + ": " + (command.empty() ? "a command" : command) + " refused: " + r.reason);
}

// Nothing of a message reaches the line but a checked number or a mode's
// code, and nothing of it reaches a log, a file or a format but the id and
// a plain command name.
void Bridge::command(const BrokerEvent& e) {
    const auto c = parseCommandTopic(base_, e.topic);
    if (!c || !shown_.count(c->id)) return; // not a topic of ours
    // The broker hands a retained message to every new subscription: a
    // command kept from some time ago would be carried out again at every
    // start and reconnection of the bridge.
    if (e.retained)
        return reject(c->id, c->name, {}, "a retained command is not taken; publish it unretained");
    if (c->verb == "get") {
        if (c->name != "parameters") return reject(c->id, c->name, {}, "get takes parameters");
        parametersAsked_.insert(c->id); // asked twice, read once
        return;
    }
    const auto what = settingNamed(c->name);
    if (!what) return reject(c->id, c->name, {}, "set takes sv, mode or out");
    if (e.tooLong) return reject(c->id, c->name, {}, "the payload is over 256 bytes");
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
                      "not allowed: the bridge's config does not name " + c->name + " in writes");
    if (!value)
        return reject(c->id, c->name, {},
                      *what == Setting::mode ? "malformed: mode takes off, on, at1, at2 or manual"
                                             : "malformed: " + c->name + " " + notNumber);
    if (commands_.size() >= kMaxWaitingCommands)
        return reject(c->id, c->name, value, "too many commands are waiting");
    commands_.push_back({c->id, *what, *value});
}

void Bridge::runCommand(const Pending& p) {
    const SettingResult s = line_.set(p.id, p.what, p.value);
    CommandResult r;
    r.command = std::string(settingName(p.what));
    // As written: rounded to the digits the controller takes, as the write was.
    r.value = p.what == Setting::mode ? p.value : roundedTo(p.value, s.digits);
    r.ok = s.ok;
    r.reason = s.reason;
    r.holds = s.holds;
    r.digits = s.digits;
    const std::string json = resultJson(r);
    link_.publish(base_.of(p.id, "result"), json, false);
    log_(who(p.id) + ": set " + r.command + ": " + json);
    // The state shows what the controller now holds without waiting a cycle.
    poll(p.id);
}

void Bridge::poll(int id) {
    Shown& s = shown_[id];
    const Reading r = line_.poll(id);
    const bool available = line_.available(id);
    if (s.available != available) {
        if (s.available || available)
            log_(who(id) + (available ? ": answers" : ": does not answer"));
        // A controller that comes back may have been changed, or swapped.
        if (available) {
            s.parametersRead = false;
            s.parametersTried.reset();
        }
        s.available = available;
        publishRetained(base_.of(id, "available"), available ? "online" : "offline");
    }
    // Values come from good replies only: a silent controller's state stays
    // as it was last read, and `available` says it is old.
    if (r.answered) {
        const std::string values = stateValues(r).str();
        const auto now = Clock::now();
        if (values != s.values || now - s.stateAt >= kStateAtLeastEvery) {
            publishRetained(base_.of(id, "state"), stateJson(r, std::chrono::system_clock::now()));
            s.values = values;
            s.stateAt = now;
        }
        s.last = r;
        if (r.unit && r.decimals) {
            s.facts.unit = *r.unit;
            s.facts.decimals = *r.decimals;
            publishDiscovery(id);
        }
    }
    const auto now = Clock::now();
    if (available && !s.parametersRead &&
        (!s.parametersTried || now - *s.parametersTried >= kParametersRetry))
        serveParameters(id, false);
}

void Bridge::serveParameters(int id, bool asked) {
    Shown& s = shown_[id];
    std::string why;
    const auto list = line_.readParameters(id, &why);
    const bool first = !s.parametersTried;
    s.parametersTried = Clock::now();
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

void Bridge::publishDiscovery(int id) {
    const Shown& s = shown_[id];
    if (!config_.broker.homeAssistant || s.facts.unit.empty()) return;
    for (const auto& [topic, payload] : discoveryMessages(base_, id, s.facts, lineConfig_.writes)) {
        const auto it = retained_.find(topic);
        if (it == retained_.end() || it->second != payload) publishRetained(topic, payload);
    }
}
