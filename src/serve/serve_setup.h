#pragma once
// What the bridge needs before it changes anything, at its start and at a
// reload: the config with its credentials, and the alarm rules, checked
// against each other. A rule that would write where its line's `writes`
// does not allow it is refused here, naming both lines, rather than found
// out as its action is refused in the middle of a firing.
#include "alarms/alarm_rules.h"
#include "serve/serve_config.h"

#include <string>
#include <variant>

// What a rule's action writes: sv for `sv N`, mode for `off`; nothing for
// the others.
std::optional<Setting> settingWritten(const AlarmAction& action);

// The rules of the file alarms names (alarms.conf, or the built-in ones,
// when empty), once each rule that writes is allowed to on every line of
// config it applies to; else "PATH:LINE: why" (path: the config's).
std::variant<AlarmRules, std::string>
serveAlarmRules(const std::string& path, const ServeConfig& config, const std::string& alarms);
