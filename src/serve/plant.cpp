#include "serve/plant.h"

#include "base/clock.h"
#include "base/id_list.h"
#include "serve/bridge.h"
#include "serve/discovery.h"
#include "serve/influx_output.h"
#include "serve/line_protocol.h"
#include "serve/serve_setup.h"
#include "serve/session_line.h"
#include "serve/viewed_link.h"
#include "traffic/traffic_tap.h"
#include "web/plant_view.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <set>
#include <thread>

namespace {

// A line's share of the broker connection: what it asks goes to the
// connection one line at a time.
class LockedLink : public BrokerLink {
  public:
    LockedLink(BrokerLink& link, std::mutex& mutex) : link_(link), mutex_(mutex) {}
    // The plant's thread gave the event to the connection already.
    bool handle(const BrokerEvent&) override { return false; }
    void subscribe(const std::string& pattern) override {
        std::lock_guard lock(mutex_);
        link_.subscribe(pattern);
    }
    void unsubscribe(const std::string& pattern) override {
        std::lock_guard lock(mutex_);
        link_.unsubscribe(pattern);
    }
    void publish(std::string topic, std::string payload, bool retain) override {
        std::lock_guard lock(mutex_);
        link_.publish(std::move(topic), std::move(payload), retain);
    }

  private:
    BrokerLink& link_;
    std::mutex& mutex_;
};

// The broker's settings the connection was made with; the line numbers
// they stand on are no setting, and Home Assistant and the alarm rules are
// the lines' to take in place.
bool sameBroker(const BrokerConfig& a, const BrokerConfig& b) {
    return a.tls == b.tls && a.host == b.host && a.port == b.port && a.prefix == b.prefix &&
           a.clientId == b.clientId && a.credentials == b.credentials && a.caFile == b.caFile &&
           a.user == b.user && a.password == b.password;
}

// Where the output writes, and as whom; not where it stands in the file.
bool sameInflux(const InfluxConfig& a, const InfluxConfig& b) {
    return a.url == b.url && a.database == b.database && a.org == b.org && a.bucket == b.bucket &&
           a.user == b.user && a.password == b.password && a.token == b.token;
}

// What changed of a line that takes its port closed: "port, baud".
std::string portChanged(const LineConfig& a, const LineConfig& b) {
    if (a.port != b.port && a.baud != b.baud) return "port and baud";
    return a.port != b.port ? "port" : a.baud != b.baud ? "baud" : "";
}

std::string heldText(const LineConfig& line, const std::string& why) {
    return "cannot open " + line.port + " (" + why + "): another program has it open";
}

// The line logged why its port did not open; this says what follows.
std::string heldLine(const LineConfig& line) {
    return "line " + line.name + ": another program holds " + line.port +
           "; this line stays offline, its port tried again at every poll";
}

} // namespace

struct Plant::Line {
    ServeConfig config; // the broker's section and this line alone, as last handed to it
    int com = 0;
    Inbox inbox;
    std::unique_ptr<TrafficTap> tap; // its frames in the trace; outlives the session
    std::unique_ptr<SessionLine> session;
    std::unique_ptr<LockedLink> link;
    std::unique_ptr<ViewedLink> viewed; // what the bridge publishes, seen by the web view
    std::unique_ptr<Bridge> bridge;
    std::thread thread;
    const LineConfig& settings() const { return config.lines.front(); }
};

Plant::Plant(std::string path, ServeConfig config, AlarmRules rules, Inbox& inbox, TrafficTap* tap,
             Log log, PlantView* view)
    : path_(std::move(path)), prefix_(config.broker.prefix), running_(std::move(config)),
      rules_(std::move(rules)), inbox_(inbox), tap_(tap), log_(std::move(log)), view_(view) {}

Plant::~Plant() {
    for (auto& [name, line] : lines_)
        line->inbox.stop();
    for (auto& [name, line] : lines_)
        if (line->thread.joinable()) line->thread.join();
}

int Plant::freeCom() const {
    std::set<int> taken;
    for (const auto& [name, line] : lines_)
        taken.insert(line->com);
    int com = 1;
    while (taken.count(com))
        ++com;
    return com;
}

Plant::Line& Plant::add(const LineConfig& config) {
    auto line = std::make_unique<Line>();
    line->config.broker = running_.broker;
    // Where the web view is, for Home Assistant's link to it; none of its secrets.
    line->config.web.listen = running_.web.listen;
    line->config.web.certificate = running_.web.certificate;
    line->config.lines = {config};
    line->com = freeCom();
    const std::string name = config.name;
    Inbox* inbox = &line->inbox;
    // The trace follows every line, each frame marked with its line's name.
    if (tap_ && tap_->tracing()) {
        line->tap = std::make_unique<TrafficTap>();
        line->tap->traceInto(*tap_, name);
    }
    line->session = std::make_unique<SessionLine>(
        line->com, config,
        [this, name](const std::string& text) { log_("line " + name + ": " + text); },
        [inbox] { return inbox->stopped(); }, line->tap.get());
    Line& added = *line;
    lines_[name] = std::move(line);
    return added;
}

bool Plant::open(std::string* why) {
    std::vector<std::pair<const Line*, std::string>> held;
    for (const LineConfig& config : running_.lines) {
        Line& line = add(config);
        std::string reason;
        if (line.session->openFirst(&reason) == EBUSY) held.emplace_back(&line, reason);
    }
    if (held.size() == lines_.size()) {
        // Another bridge, as like as not: nothing this one would publish may
        // contradict the other's.
        why->clear();
        for (const auto& [line, reason] : held)
            *why += (why->empty() ? "" : "; ") + heldText(line->settings(), reason);
        *why += held.size() == 1 ? "; end that one first" : "; end those first";
        return false;
    }
    for (const auto& [line, reason] : held)
        log_(heldLine(line->settings()));
    return true;
}

void Plant::start(Line& line) {
    line.link = std::make_unique<LockedLink>(*link_, linkMutex_);
    BrokerLink* link = line.link.get();
    const std::string name = line.settings().name;
    if (view_) {
        line.viewed = std::make_unique<ViewedLink>(*line.link, *view_,
                                                   TopicBase{running_.broker.prefix, name});
        link = line.viewed.get();
        line.session->countFrames();
        view_->lineCounts(name, [session = line.session.get()] { return session->counts(); });
        view_->linePort(name, line.settings().port);
    }
    line.bridge = std::make_unique<Bridge>(line.config, 0, *line.session, *link, log_, rules_);
    if (modbusDesk_ && running_.modbus.line == name)
        line.bridge->serveModbus(*modbusDesk_, running_.modbus);
    if (view_)
        line.bridge->onPolled([view = view_, name](int id, bool answered) {
            view->polled(name, id, answered, wallSeconds());
        });
    if (influx_)
        line.bridge->onReading([influx = influx_, name](int id, const Reading& r,
                                                        std::chrono::system_clock::time_point at) {
            influx->add(linePoint(name, id, r, at));
        });
    line.thread = std::thread([&line] { line.bridge->run(line.inbox); });
}

void Plant::stop(Line& line) {
    line.inbox.stop();
    if (line.thread.joinable()) line.thread.join();
    // The view reads the line's counts no more before its port object goes.
    if (view_) {
        view_->lineCounts(line.settings().name, {});
        view_->linePort(line.settings().name, "");
    }
    line.session.reset(); // the port is closed
}

void Plant::webCommand(WebCommand command, WebReply reply) {
    BrokerEvent e;
    e.kind = BrokerEvent::Kind::message;
    e.topic = prefix_ + "/" + command.line + "/" + std::to_string(command.id) + "/" + command.verb +
              "/" + command.name;
    e.tooLong = command.payload.size() > Inbox::kMaxPayload;
    if (!e.tooLong) e.payload = std::move(command.payload);
    e.reply = std::move(reply);
    e.by = std::move(command.user);
    // Through the plant's own inbox, as the broker's messages come: the
    // line the topic names takes it between two of its requests.
    inbox_.post(std::move(e));
}

void Plant::askReload() {
    reloadAsked_ = true;
    inbox_.wake();
}

void Plant::run(BrokerLink& link) {
    link_ = &link;
    for (auto& [name, line] : lines_)
        start(*line);
    while (!inbox_.stopped()) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::hours(1);
        for (const BrokerEvent& e : inbox_.wait(until))
            route(e);
        const Inbox::Dropped dropped = inbox_.takeDropped();
        if (dropped.count)
            log_(std::to_string(dropped.count) +
                 " message(s) from the broker dropped: more came in than the lines could be "
                 "handed");
        // The line a dropped command was for answers it.
        for (const auto& [topic, count] : dropped.topics)
            if (Line* line = lineOf(topic)) line->inbox.noteDropped(topic, count);
        if (!inbox_.stopped() && reloadAsked_.exchange(false)) reload();
    }
    // Every line ends at once; each says its controllers are offline.
    for (auto& [name, line] : lines_)
        line->inbox.stop();
    for (auto& [name, line] : lines_)
        stop(*line);
}

Plant::Line* Plant::lineOf(const std::string& topic) {
    const std::string head = running_.broker.prefix + "/";
    if (topic.rfind(head, 0) != 0) return nullptr;
    const auto end = topic.find('/', head.size());
    const auto it = lines_.find(topic.substr(head.size(), end - head.size()));
    return it == lines_.end() ? nullptr : it->second.get();
}

void Plant::route(const BrokerEvent& e) {
    if (e.kind == BrokerEvent::Kind::message) {
        // PREFIX/LINE/...: only the line named sees it. One outside the
        // prefix is the broker's news for all (Home Assistant's status).
        if (e.topic.rfind(running_.broker.prefix + "/", 0) == 0) {
            if (Line* line = lineOf(e.topic))
                line->inbox.post(e);
            else if (e.reply)
                e.reply("{\"ok\":false,\"reason\":\"no such line; nothing was sent\"}");
            return;
        }
    }
    if (e.kind != BrokerEvent::Kind::message) {
        std::lock_guard lock(linkMutex_);
        link_->handle(e);
    }
    if (e.kind == BrokerEvent::Kind::published) return;
    for (auto& [name, line] : lines_)
        line->inbox.post(e);
}

void Plant::reload() {
    auto loaded = loadServeConfig(path_);
    if (const auto* why = std::get_if<std::string>(&loaded))
        return log_("reload: " + *why + "; the running config stays");
    ServeConfig next = std::move(std::get<ServeConfig>(loaded));
    // The rules of the file [broker] now names, checked against the lines
    // as they will be, before anything changes: every line takes them.
    auto read = serveAlarmRules(path_, next, next.broker.alarms);
    if (const auto* why = std::get_if<std::string>(&read))
        return log_("reload: " + *why + "; the running config and rules stay");
    AlarmRules rules = std::get<AlarmRules>(std::move(read));
    bool changed = false;
    if (!sameBroker(next.broker, running_.broker)) {
        log_("reload: [broker] changed; that takes a restart (systemctl restart q7-serve), until "
             "then the bridge keeps the broker it has");
        changed = true;
    }
    if (next.web.listen != running_.web.listen || next.web.hosts != running_.web.hosts ||
        next.web.origins != running_.web.origins || next.web.users != running_.web.users ||
        next.web.viewNeedsLogin != running_.web.viewNeedsLogin ||
        next.web.certificatePem != running_.web.certificatePem ||
        next.web.keyPem != running_.web.keyPem ||
        next.web.controlOverPlainHttp != running_.web.controlOverPlainHttp) {
        log_("reload: [web] changed; that takes a restart (systemctl restart q7-serve), until "
             "then the web view stays as it is");
        changed = true;
    }
    const ModbusConfig &m = next.modbus, &was = running_.modbus;
    if (m.listen != was.listen || m.line != was.line || m.writes != was.writes ||
        m.maxAge != was.maxAge) {
        log_("reload: [modbus] changed; that takes a restart (systemctl restart q7-serve), until "
             "then the Modbus TCP server stays as it is");
        changed = true;
    }
    if (!sameInflux(next.influx, running_.influx)) {
        log_("reload: [influx] changed; that takes a restart (systemctl restart q7-serve), until "
             "then the bridge writes where it did");
        changed = true;
    }
    // Home Assistant's devices and the rules are the lines' own to change:
    // taken in place.
    const bool homeAssistant = next.broker.homeAssistant;
    if (homeAssistant != running_.broker.homeAssistant) {
        log_(std::string("reload: homeassistant = ") + (homeAssistant ? "yes" : "no") +
             "; every line " +
             (homeAssistant ? "gives Home Assistant its controllers"
                            : "takes its controllers out of Home Assistant"));
        changed = true;
    }
    const bool rulesChanged = !(rules == rules_);
    if (rulesChanged) {
        log_("reload: the alarm rules changed (" + rules.source + "); every line takes them");
        changed = true;
    }
    rules_ = rules;
    // The notifications' secrets are read again from the credentials file
    // with the config, and taken in place; never told.
    const bool secretsChanged = !(next.broker.notify == running_.broker.notify);
    if (secretsChanged) {
        log_("reload: the notifications' secrets in " + next.broker.credentials +
             " changed; every line takes them");
        changed = true;
    }
    BrokerConfig broker = running_.broker;
    broker.homeAssistant = homeAssistant;
    broker.alarms = next.broker.alarms;
    broker.notify = next.broker.notify;
    next.broker = broker;
    next.web = running_.web;
    next.modbus = running_.modbus;
    next.influx = running_.influx;
    const auto named = [&](const std::string& name) -> const LineConfig* {
        for (const LineConfig& l : next.lines)
            if (l.name == name) return &l;
        return nullptr;
    };
    const auto runsText = [](const std::vector<std::string>& open) {
        if (open.empty()) return std::string("a run being started");
        std::string out = open.size() == 1 ? "the run " : "the runs ";
        for (std::size_t i = 0; i < open.size(); ++i)
            out += (i ? ", " : "") + open[i];
        return out;
    };
    // A line whose port would close, removed or restarted, goes only while
    // no run is open on it: a reload never ends a firing.
    std::vector<std::string> closing;        // stopped, then started again when named
    std::map<std::string, std::string> kept; // line, the runs that keep it as it is
    for (auto& [name, line] : lines_) {
        const LineConfig* now = named(name);
        const std::string settings = now ? portChanged(line->settings(), *now) : "";
        if (now && settings.empty()) continue;
        changed = true;
        std::vector<std::string> open;
        if (line->bridge->closeUnlessDriving(&open)) {
            closing.push_back(name);
            continue;
        }
        kept[name] = runsText(open);
        log_(now ? "reload: line " + name + ": its " + settings +
                       " changed, which needs the port closed: refused while " + kept[name] +
                       " is open on it; the rest of the reload is applied, and a reload once "
                       "the run ended takes it"
                 : "reload: line " + name + " stays: " + kept[name] +
                       " is open on it; a reload once the run ended takes it out");
    }
    // A line that starts may not take the port of one that stays.
    const auto portHeld = [&](const LineConfig& l) -> std::string {
        for (const auto& [name, line] : lines_)
            if (std::find(closing.begin(), closing.end(), name) == closing.end() &&
                name != l.name && samePort(line->settings().port, l.port))
                return name;
        return "";
    };
    std::vector<const LineConfig*> starting;
    std::set<std::string> started;
    for (const LineConfig& l : next.lines) {
        const bool restarting = std::find(closing.begin(), closing.end(), l.name) != closing.end();
        if (lines_.count(l.name) && !restarting) continue;
        changed = true;
        if (const std::string holder = portHeld(l); !holder.empty()) {
            const std::string why = kept.count(holder) ? kept[holder] : "its run";
            log_("reload: line " + l.name + (restarting ? " is not restarted" : " is not added") +
                 ": its port " + l.port + " is line " + holder + "'s, which keeps it while " + why +
                 " is open on it");
            if (restarting) {
                lines_.at(l.name)->bridge->keepOpen();
                closing.erase(std::find(closing.begin(), closing.end(), l.name));
                kept[l.name] = why;
            }
            continue;
        }
        if (!restarting) log_("reload: line " + l.name + " added");
        starting.push_back(&l);
        started.insert(l.name);
    }
    // Lines that go, or restart, end before any starts: a port handed from
    // one line to another is closed before it is opened again.
    for (const std::string& name : closing) {
        Line& line = *lines_.at(name);
        const LineConfig* now = named(name);
        if (now)
            log_("reload: line " + name + " restarted: its " + portChanged(line.settings(), *now) +
                 " changed");
        else
            log_("reload: line " + name + " removed");
        stop(line);
        // Its thread has ended: what it polled is read from it directly.
        std::vector<int> gone;
        for (int id : line.bridge->applied().ids)
            if (!now || !idListed(now->ids, id)) gone.push_back(id);
        line.bridge->forget(gone, !now);
        lines_.erase(name);
    }
    for (const LineConfig* l : starting) {
        Line& line = add(*l);
        std::string why;
        if (line.session->openFirst(&why) == EBUSY) log_(heldLine(*l));
        start(line);
    }
    // What every other line takes in place: its ids, interval, writes and
    // resume (its port as it is), Home Assistant and the rules.
    for (auto& [name, line] : lines_) {
        if (started.count(name)) continue;
        LineConfig now = line->settings();
        if (const LineConfig* l = named(name)) {
            now = *l;
            now.port = line->settings().port;
            now.baud = line->settings().baud;
        }
        const LineConfig running = line->bridge->applied();
        const bool differs = now.ids != running.ids || now.interval != running.interval ||
                             now.writes != running.writes || now.runs != running.runs ||
                             now.resume != running.resume;
        if (!differs && !rulesChanged && !secretsChanged &&
            homeAssistant == line->config.broker.homeAssistant)
            continue;
        changed = changed || differs;
        line->config.lines = {now};
        line->config.broker = next.broker;
        LineChange change{now, homeAssistant, {}};
        if (rulesChanged) change.rules = rules;
        if (secretsChanged) change.secrets = next.broker.notify;
        line->bridge->offer(std::move(change));
        line->inbox.wake();
    }
    if (!changed) log_("reload: nothing changed");
    running_ = std::move(next);
}
