#include "cli/alarm_host.h"

#include "base/time_text.h"
#include "chart/data_log.h"
#include "cli/exit_status.h"
#include "cli/report.h"

std::optional<AlarmRules> commandAlarmRules(const HeadlessOptions& options, int* status) {
    auto chosen = chooseAlarmRules(options.alarmsFile);
    if (const auto* why = std::get_if<std::string>(&chosen)) {
        *status = fail(exitstatus::usage, *why + "; nothing was sent");
        return std::nullopt;
    }
    return std::get<AlarmRules>(std::move(chosen));
}

std::optional<NotifySecrets> commandSecrets(const std::optional<std::string>& file, int* status) {
    NotifySecrets secrets;
    if (!file) return secrets;
    if (std::string why = readNotifySecrets(*file, &secrets); !why.empty()) {
        *status = fail(exitstatus::usage, why + "; nothing was sent");
        return std::nullopt;
    }
    return secrets;
}

void useCommandHost(HostAlarmActions& actions, std::FILE* out, DataLog* log) {
    if (log)
        actions.writeLog = [log](const std::string& line, std::string* why) -> std::optional<bool> {
            if (!log->on()) return std::nullopt;
            return log->write(line, why);
        };
    actions.told = [out](const AlarmEvent& event, const std::string& text) {
        std::fprintf(out, "%s alarm %s\n", clockTextAt(event.wall).c_str(), text.c_str());
        std::fflush(out);
    };
}
