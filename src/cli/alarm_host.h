#pragma once
// The alarm rules as the headless commands (`q7 watch`, `q7 run`) carry
// them out, through the host every process shares (alarms/alarm_host.h):
// each event is one printed line; notify prints (a desktop notice needs
// the panels' window system, which the commands never load), publish has
// no bridge to go to, hold pauses a run where there is one, log writes the
// data log where one is open, and off and sv N take the controller's
// checked writes.
#include "alarms/alarm_host.h"
#include "alarms/notify_secrets.h"
#include "cli/headless.h"

#include <cstdio>
#include <optional>
#include <string>

class DataLog;

// The rules a command applies; nothing, with the status to end with once
// the reason is told (2, naming the file's line), when the file is refused.
std::optional<AlarmRules> commandAlarmRules(const HeadlessOptions& options, int* status);

// The secrets of a rule's ntfy, webhook and email actions, from the
// credentials file a command was given (--credentials FILE, 0600, as the
// bridge's); none without one. Nothing, with the status to end with once
// the reason is told, when the file is refused.
std::optional<NotifySecrets> commandSecrets(const std::optional<std::string>& file, int* status);

// The host's actions as a command has them: events printed on out, and
// log into log while it is open.
void useCommandHost(HostAlarmActions& actions, std::FILE* out, DataLog* log);
