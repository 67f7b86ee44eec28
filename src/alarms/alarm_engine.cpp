#include "alarms/alarm_engine.h"

#include "base/json_writer.h"
#include "base/number_text.h"
#include "base/time_text.h"
#include "runs/program_file.h"

#include <cmath>
#include <ctime>
#include <regex>
#include <utility>

namespace {

bool compared(double a, Compare op, double b) {
    switch (op) {
    case Compare::greater:
        return a > b;
    case Compare::less:
        return a < b;
    case Compare::greaterOrEqual:
        return a >= b;
    case Compare::lessOrEqual:
        return a <= b;
    case Compare::equal:
        return a == b;
    }
    return false;
}

std::string optionalText(const std::optional<double>& v) {
    return v ? numberText(std::round(*v * 10) / 10) : std::string();
}

} // namespace

std::string AlarmEvent::subject() const {
    std::string t = "rule " + rule + " on " + line + " id " + formatWhole(id);
    std::string values;
    const auto add = [&](const char* name, const std::optional<double>& v, const char* unit) {
        if (!v) return;
        values += std::string(values.empty() ? "" : ", ") + name + " " + optionalText(v) + unit;
    };
    add("pv", pv, "");
    add("sv", sv, "");
    add("out", out, "%");
    add("deviation", deviation, "");
    add("rate", rate, "/h");
    if (!values.empty()) t += " (" + values + ")";
    return t;
}

std::string AlarmEvent::text() const {
    std::string t = subject();
    if (kind == Kind::actionFailed) t += ", failed action";
    t += ":";
    for (std::size_t i = 0; i < done.size(); ++i)
        t += (i ? "; " : " ") + done[i];
    if (done.empty()) t += " nothing to do";
    return t;
}

std::optional<AlarmEvent> alarmEventFromText(double wall, const std::string& text) {
    // "rule NAME on LINE id N (values)[, failed action]: done; done"
    static const std::regex shape(
        R"(rule (\S+) on (\S+) id (\d{1,6})( \([^)]*\))?(, failed action)?: (.*))");
    std::smatch m;
    if (!std::regex_match(text, m, shape)) return std::nullopt;
    AlarmEvent e;
    e.wall = wall;
    e.rule = m[1];
    e.line = m[2];
    e.id = std::stoi(m[3]);
    e.kind = m[5].matched ? AlarmEvent::Kind::actionFailed : AlarmEvent::Kind::fired;
    // A firing whose action failed is followed by an event of the failure,
    // which its reader joins to it.
    e.ok = !m[5].matched;
    const std::string done = m[6];
    if (done != "nothing to do")
        for (std::size_t from = 0; from <= done.size();) {
            const std::size_t to = std::min(done.find("; ", from), done.size());
            e.done.push_back(done.substr(from, to - from));
            from = to + 2;
        }
    return e;
}

Notice alarmNotice(const AlarmEvent& e, bool test) {
    Notice n;
    n.test = test;
    n.title = (test ? "q7 test: rule " : "q7: rule ") + e.rule;
    n.text = e.subject();
    JsonObject j;
    j.text("kind", test ? "test" : "alarm")
        .text("rule", e.rule)
        .text("line", e.line)
        .whole("id", e.id)
        .text("time", localIsoText(e.wall));
    const auto add = [&](const char* key, const std::optional<double>& v) {
        if (v) j.number(key, *v, 1);
    };
    add("pv", e.pv);
    add("sv", e.sv);
    add("out", e.out);
    add("deviation", e.deviation);
    add("rate", e.rate);
    j.text("text", n.text);
    n.json = j.str();
    return n;
}

AlarmEngine::AlarmEngine(AlarmRules rules, AlarmActions& actions, CommandLimits limits,
                         NotifyLimits notifyLimits)
    : rules_(std::move(rules)), actions_(actions), commands_(limits), notifier_(notifyLimits) {}

void AlarmEngine::measure(Watched& c, const AlarmObservation& o) {
    if (c.lastAt) {
        const double dt = std::chrono::duration<double>(o.at - *c.lastAt).count();
        c.scaled += std::max(0.0, dt) * o.timeScale;
    }
    c.lastAt = o.at;
    c.segmentChanged = o.segment && c.segment && *o.segment != *c.segment;
    const bool newRamp = c.segmentChanged || !o.planRate || !c.planRate ||
                         std::signbit(*o.planRate) != std::signbit(*c.planRate);
    if (o.segment) c.segment = o.segment;
    if (c.segmentChanged || !o.fullRateReached) c.targetReached = false;
    if (o.fullRateReached && *o.fullRateReached) c.targetReached = true;
    if (newRamp) c.pvs.clear();
    c.planRate = o.planRate;
    c.reachedRate.reset();
    if (!o.planRate || !o.pv) return;
    c.pvs.emplace_back(c.scaled, *o.pv);
    while (c.pvs.size() > 2 && c.scaled - c.pvs[1].first >= kRateWindowSeconds)
        c.pvs.pop_front();
    const double span = c.pvs.back().first - c.pvs.front().first;
    if (span >= kRateSettleSeconds)
        c.reachedRate = (c.pvs.back().second - c.pvs.front().second) / span * 3600;
}

std::optional<double> AlarmEngine::value(Quantity q, const Watched& c,
                                         const AlarmObservation& o) const {
    switch (q) {
    case Quantity::pv:
        return o.pv;
    case Quantity::sv:
        return o.sv;
    case Quantity::out:
        return o.out;
    case Quantity::deviation: {
        if (o.fullRateReached && !c.targetReached) return std::nullopt;
        if (!o.planSv && (o.mode == ControlMode::off || o.mode == ControlMode::manual))
            return std::nullopt;
        const auto target = o.planSv ? o.planSv : o.sv;
        if (!o.pv || !target) return std::nullopt;
        return std::fabs(*o.pv - *target);
    }
    case Quantity::rate:
        return c.reachedRate;
    }
    return std::nullopt;
}

std::optional<bool> AlarmEngine::holds(const Condition& cond, const Watched& c,
                                       const AlarmObservation& o) const {
    using K = Condition::Kind;
    switch (cond.kind) {
    case K::silent:
        return o.silent;
    case K::alarm1:
        return o.silent ? std::nullopt : o.alarm1;
    case K::alarm2:
        return o.silent ? std::nullopt : o.alarm2;
    case K::sensorError:
        return o.silent ? std::nullopt : o.sensorError;
    case K::runStarted:
        return o.run == AlarmObservation::Run::running;
    case K::runEnded:
        return o.run == AlarmObservation::Run::ended;
    case K::segmentChanged:
        return c.segmentChanged;
    case K::failedToReach:
        return o.failedToReach;
    case K::compare:
        break;
    }
    // Off a ramp there is no rate to fall short of.
    if (cond.quantity == Quantity::rate && (!c.planRate || *c.planRate == 0)) return false;
    auto v = value(cond.quantity, c, o);
    if (o.silent || !v) return std::nullopt;
    double limit = cond.number;
    if (cond.againstSv) {
        if (!o.sv) return std::nullopt;
        limit += *o.sv;
    }
    if (cond.quantity == Quantity::rate) {
        // The rate in the ramp's own direction: a cooling ramp that cools
        // at 100 per hour reaches 100, as one that heats so.
        *v = *c.planRate < 0 ? -*v : *v;
        if (cond.percent) *v = *v / std::fabs(*c.planRate) * 100;
    }
    return compared(*v, cond.op, limit);
}

void AlarmEngine::observe(const AlarmObservation& o) {
    reap(o.wall);
    Watched& c = controllers_[Key{o.line, o.id}];
    measure(c, o);
    for (const AlarmRule& rule : rules_.rules) {
        if (!rule.appliesTo(o.id)) continue;
        Track& t = c.tracks[rule.name];
        // One condition false makes the whole false; else one not known
        // (a value not read this poll, a silent controller) leaves the
        // rule as it stood: a gap in the readings neither fires it nor
        // rearms it by itself.
        bool anyFalse = false, anyUnknown = false;
        for (const Condition& cond : rule.when) {
            const std::optional<bool> h = holds(cond, c, o);
            anyFalse = anyFalse || (h && !*h);
            anyUnknown = anyUnknown || !h;
        }
        if (!anyFalse && anyUnknown) continue;
        if (anyFalse) {
            t.trueSince.reset();
            if (!t.falseSince) t.falseSince = c.scaled;
            if (!t.armed && c.scaled - *t.falseSince >= rule.forSeconds) t.armed = true;
            continue;
        }
        t.falseSince.reset();
        if (!t.trueSince) t.trueSince = c.scaled;
        if ((!t.armed && t.retry.empty()) || c.scaled - *t.trueSince < rule.forSeconds) continue;
        const auto minute = std::chrono::duration_cast<Clock::TimePoint::duration>(
            std::chrono::duration<double>(kRefireSeconds));
        if (t.lastFired && o.at - *t.lastFired < minute) continue;
        t.lastFired = o.at;
        fire(rule, c, o);
    }
}

void AlarmEngine::fire(const AlarmRule& rule, Watched& c, const AlarmObservation& o) {
    Track& t = c.tracks[rule.name];
    // A fresh firing does everything; one that comes back for what its
    // last firing did not carry out does that alone.
    const bool again = !t.armed;
    const std::set<std::size_t> toDo = std::exchange(t.retry, {});
    t.armed = false;
    AlarmEvent e;
    e.wall = o.wall;
    e.rule = rule.name;
    e.line = o.line;
    e.id = o.id;
    e.pv = o.pv;
    e.sv = o.sv;
    e.out = o.out;
    e.deviation = value(Quantity::deviation, c, o);
    e.rate = c.reachedRate;
    e.actions = rule.actions;
    // Each action that did not work is an event of its own too, after the
    // firing's, so whoever is told of failures hears of it by itself.
    std::vector<std::string> failed;
    const auto didNot = [&](std::size_t i) {
        e.ok = false;
        failed.push_back(e.done.back());
        t.retry.insert(i);
    };
    for (std::size_t i = 0; i < rule.actions.size(); ++i) {
        const AlarmAction& a = rule.actions[i];
        if (again && !toDo.count(i)) continue;
        const std::string tried = again ? " (tried again)" : "";
        const CommandRunner::Key key{rule.name, o.line, o.id, i};
        if (a.kind == AlarmAction::Kind::ntfy || a.kind == AlarmAction::Kind::webhook ||
            a.kind == AlarmAction::Kind::email) {
            // Queued here, sent from the notifier's thread; a send given up
            // comes back as a failed action at a later poll.
            const Notifier::Queued q = notifier_.send(key, a, alarmNotice(e));
            e.done.push_back(actionText(a) + " " + q.text + tried);
            if (!q.ok) didNot(i);
            continue;
        }
        if (a.kind != AlarmAction::Kind::command) {
            const ActionResult r = actions_.perform(e, a);
            if (r.nowhere && rule.builtIn) continue;
            e.done.push_back(
                actionName(a.kind) +
                std::string(a.kind == AlarmAction::Kind::sv ? " " + numberText(a.value) : "") +
                " " + r.text + tried);
            if (!r.ok) didNot(i);
            continue;
        }
        const std::vector<std::pair<std::string, std::string>> env = {
            {"Q7_RULE", e.rule},
            {"Q7_LINE", e.line},
            {"Q7_ID", formatWhole(e.id)},
            {"Q7_PV", optionalText(e.pv)},
            {"Q7_SV", optionalText(e.sv)},
            {"Q7_OUT", optionalText(e.out)},
            {"Q7_DEVIATION", optionalText(e.deviation)},
            {"Q7_RATE", optionalText(e.rate)},
            {"Q7_TIME", localIsoText(e.wall)},
        };
        // A command still running from the last firing is not started
        // twice: this firing's is not carried out, and is tried again.
        const CommandRunner::Started s = commands_.start(key, a.argv, env);
        e.done.push_back("command " + a.argv[0] + " " + s.text + tried);
        if (s.result != CommandRunner::Started::Result::started) didNot(i);
    }
    actions_.record(e);
    for (const std::string& what : failed) {
        AlarmEvent f = e;
        f.kind = AlarmEvent::Kind::actionFailed;
        f.done = {what};
        actions_.record(f);
    }
}

void AlarmEngine::takeRules(AlarmRules rules) {
    const auto same = [&](const std::string& name) {
        const auto named = [&](const AlarmRules& in) -> const AlarmRule* {
            for (const AlarmRule& r : in.rules)
                if (r.name == name) return &r;
            return nullptr;
        };
        const AlarmRule *was = named(rules_), *now = named(rules);
        return was && now && was->when == now->when && was->forSeconds == now->forSeconds &&
               was->actions == now->actions;
    };
    for (auto& [key, watched] : controllers_)
        std::erase_if(watched.tracks, [&](const auto& track) { return !same(track.first); });
    rules_ = std::move(rules);
}

void AlarmEngine::forget(const std::string& line, int id) {
    controllers_.erase(Key{line, id});
}

void AlarmEngine::failedLater(const CommandRunner::Key& key, double wall, const std::string& what) {
    // Its firing was not carried out after all: the rule tries it again.
    if (const auto c = controllers_.find(Key{key.line, key.id}); c != controllers_.end())
        if (const auto t = c->second.tracks.find(key.rule); t != c->second.tracks.end())
            t->second.retry.insert(key.action);
    AlarmEvent e;
    e.kind = AlarmEvent::Kind::actionFailed;
    e.wall = wall;
    e.rule = key.rule;
    e.line = key.line;
    e.id = key.id;
    e.ok = false;
    e.done = {what};
    actions_.record(e);
}

void AlarmEngine::reap(double wall) {
    for (const CommandRunner::Ended& end : commands_.reap())
        if (!end.ok) failedLater(end.key, wall, "command " + end.program + " " + end.text);
    for (const Notifier::Sent& sent : notifier_.reap())
        if (!sent.ok) failedLater(sent.key, wall, sent.what + " " + sent.text);
}
