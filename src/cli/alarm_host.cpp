#include "cli/alarm_host.h"

#include "base/time_text.h"

#include "alarms/controller_actions.h"
#include "base/number_text.h"
#include "chart/data_log.h"
#include "cli/exit_status.h"
#include "cli/report.h"

#include <ctime>
#include <sys/stat.h>

std::optional<AlarmRules> commandAlarmRules(const HeadlessOptions& options, int* status) {
    std::string path = options.alarmsFile;
    struct stat st {};
    if (path.empty() && ::stat(kAlarmRulesFile, &st) == 0) path = kAlarmRulesFile;
    if (path.empty()) return builtInAlarmRules();
    auto loaded = loadAlarmRules(path);
    if (const auto* why = std::get_if<std::string>(&loaded)) {
        *status = fail(exitstatus::usage, *why + "; nothing was sent");
        return std::nullopt;
    }
    return std::get<AlarmRules>(std::move(loaded));
}

ActionResult CommandAlarmActions::perform(const AlarmEvent& event, const AlarmAction& action) {
    using K = AlarmAction::Kind;
    switch (action.kind) {
    case K::notify:
        return {true, "printed"};
    case K::publish:
        return {true, "not sent: no bridge runs here"};
    case K::hold:
        if (!hold) return {true, "not done: no run to pause"};
        return hold(event);
    case K::log: {
        if (!log || !log->on()) return {true, "printed: no data log is open"};
        const std::time_t t = std::time_t(event.wall);
        std::tm tm{};
        localtime_r(&t, &tm);
        // The data log keeps the event beside the samples, as the notices write it.
        const std::string line = formatWhole(tm.tm_mon + 1) + "/" + formatWhole(tm.tm_mday) + "/" +
                                 formatWhole(tm.tm_year + 1900) + ", " + clockTextAt(event.wall) +
                                 ", alarm rule " + event.rule + " on " + event.line + " id " +
                                 formatWhole(event.id);
        std::string why;
        if (!log->write(line, &why)) return {false, "failed: " + why};
        return {true, "done"};
    }
    case K::off:
    case K::sv: {
        Controller* c = controllerFor ? controllerFor(event.line, event.id) : nullptr;
        if (!c) return {false, "not sent: no such controller here"};
        return action.kind == K::off ? switchOff(*c) : setSafeSv(*c, action.value);
    }
    case K::command:
        break; // the engine runs it
    }
    return {false, "not done"};
}

void CommandAlarmActions::record(const AlarmEvent& event) {
    std::string text = event.text();
    if (recordInRun)
        if (const std::string why = recordInRun(event); !why.empty())
            text += " (not recorded in the run: " + why + ")";
    std::fprintf(out_, "%s alarm %s\n", clockTextAt(event.wall).c_str(), text.c_str());
    std::fflush(out_);
}
