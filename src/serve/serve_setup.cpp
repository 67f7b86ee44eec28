#include "serve/serve_setup.h"

#include "alarms/alarm_host.h"

#include <algorithm>

std::optional<Setting> settingWritten(const AlarmAction& action) {
    switch (action.kind) {
    case AlarmAction::Kind::sv:
        return Setting::sv;
    case AlarmAction::Kind::off:
        return Setting::mode;
    default:
        return std::nullopt;
    }
}

namespace {

bool appliesToLine(const AlarmRule& rule, const LineConfig& line) {
    return std::any_of(line.ids.begin(), line.ids.end(),
                       [&](int id) { return rule.appliesTo(id); });
}

} // namespace

std::variant<AlarmRules, std::string>
serveAlarmRules(const std::string& path, const ServeConfig& config, const std::string& alarms) {
    auto chosen = chooseAlarmRules(alarms);
    if (std::holds_alternative<std::string>(chosen)) return chosen;
    const AlarmRules& rules = std::get<AlarmRules>(chosen);
    for (const LineConfig& line : config.lines)
        for (const AlarmRule& rule : rules.rules) {
            if (!appliesToLine(rule, line)) continue;
            for (const AlarmAction& action : rule.actions) {
                const auto setting = settingWritten(action);
                if (!setting || line.writes.count(*setting)) continue;
                const std::string word(settingName(*setting));
                const int at = line.writesLine ? line.writesLine : line.sectionLine;
                return path + ":" + std::to_string(at) + ": [line " + line.name + "] " +
                       (line.writesLine ? "does not name " + word + " in writes"
                                        : "has no writes, so nothing may be set") +
                       ", but rule " + rule.name + " (" + rules.source + " line " +
                       std::to_string(rule.line) + ") writes " + word + " (" + actionText(action) +
                       ") there; name " + word + " in writes, or give the rule ids of another line";
            }
        }
    return chosen;
}
