#include "alarms/alarm_host.h"

#include "alarms/controller_actions.h"
#include "base/number_text.h"
#include "base/time_text.h"

#include <ctime>
#include <sys/stat.h>

std::variant<AlarmRules, std::string> chooseAlarmRules(const std::string& named) {
    std::string path = named;
    struct stat st {};
    if (path.empty() && ::stat(kAlarmRulesFile, &st) == 0) path = kAlarmRulesFile;
    if (path.empty()) return builtInAlarmRules();
    return loadAlarmRules(path);
}

AlarmWords alarmWords(const AlarmRules& rules, const AlarmEvent& event) {
    const std::string controller = "controller " + formatWhole(event.id) + " on " + event.line;
    // A rule that watches one thing the controller itself tells is told in
    // the words of that thing.
    for (const AlarmRule& r : rules.rules) {
        if (r.name != event.rule || r.when.size() != 1) continue;
        switch (r.when[0].kind) {
        case Condition::Kind::alarm1:
            return {"Alarm", "alarm 1 output on, " + controller, "at"};
        case Condition::Kind::alarm2:
            return {"Alarm", "alarm 2 output on, " + controller, "at"};
        case Condition::Kind::silent:
            return {"Controller Not Answering", "no reply from " + controller, "since"};
        default:
            break;
        }
    }
    return {"Alarm Rule", "alarm " + event.subject(), "at"};
}

AlarmWords HostAlarmActions::words(const AlarmEvent& event) const {
    return alarmWords(rules_ ? *rules_ : AlarmRules{}, event);
}

ActionResult HostAlarmActions::perform(const AlarmEvent& event, const AlarmAction& action) {
    using K = AlarmAction::Kind;
    switch (action.kind) {
    case K::notify:
        if (!notify) return {true, "printed"};
        return notify(event, words(event));
    case K::publish:
        if (!publish) return {true, "not sent: no bridge runs here", true};
        return publish(event);
    case K::hold:
        if (!hold) return {true, "not done: no run to pause", true};
        return hold(event);
    case K::log: {
        const std::time_t t = std::time_t(event.wall);
        std::tm tm{};
        localtime_r(&t, &tm);
        // The data log keeps the event beside the samples.
        const std::string line = formatWhole(tm.tm_mon + 1) + "/" + formatWhole(tm.tm_mday) + "/" +
                                 formatWhole(tm.tm_year + 1900) + ", " + clockTextAt(event.wall) +
                                 ", " + words(event).text;
        std::string why;
        const std::optional<bool> written = writeLog ? writeLog(line, &why) : std::nullopt;
        if (!written) return {true, "not written: no data log is open", true};
        if (!*written) return {false, "failed: " + why};
        return {true, "done"};
    }
    case K::off:
    case K::sv: {
        if (writeRefused)
            if (const std::string why = writeRefused(event, action); !why.empty())
                return {false, "not sent: " + why};
        Controller* c = controllerFor ? controllerFor(event.line, event.id) : nullptr;
        if (!c) return {false, "not sent: no such controller here"};
        return action.kind == K::off ? switchOff(*c) : setSafeSv(*c, action.value);
    }
    case K::command:
    case K::ntfy:
    case K::webhook:
    case K::email:
        break; // the engine runs and sends them
    }
    return {false, "not done"};
}

void HostAlarmActions::record(const AlarmEvent& event) {
    std::string text = event.text();
    if (recordInRun)
        if (const std::string why = recordInRun(event); !why.empty())
            text += " (not recorded in the run: " + why + ")";
    if (told) told(event, text);
}
