// `q7 alarms test RULE`: a test through each of a rule's actions that tell
// someone (ntfy, webhook, a command), with what happened to each. The
// controller is not asked, and no write goes out: off, sv and hold are
// left alone, as are the host's own notify, publish and log.
#include "alarms/alarm_engine.h"
#include "alarms/notify_secrets.h"
#include "base/clock.h"
#include "base/number_text.h"
#include "cli/alarm_host.h"
#include "cli/command_args.h"
#include "cli/commands.h"
#include "cli/exit_status.h"
#include "cli/report.h"

#include <chrono>
#include <cstdio>
#include <optional>
#include <thread>

namespace {

constexpr double kTestTimeoutSeconds = 10;

} // namespace

int alarmsCommand(const HeadlessOptions& options, const Words& words) {
    const CommandArgs args = parseCommandArgs(words, {}, {"--credentials"});
    if (const int bad = expectWords("alarms", args, 2, "test RULE")) return bad;
    if (args.positional[0] != "test")
        return usageError("alarms", "alarms takes test RULE, not '" + args.positional[0] + "'");
    int status = exitstatus::ok;
    const auto rules = commandAlarmRules(options, &status);
    if (!rules) return status;
    const std::string& name = args.positional[1];
    const AlarmRule* rule = nullptr;
    for (const AlarmRule& r : rules->rules)
        if (r.name == name) rule = &r;
    if (!rule) return fail(exitstatus::usage, "no rule is called " + name + " in " + rules->source);
    const auto secrets = commandSecrets(args.value("--credentials"), &status);
    if (!secrets) return status;

    const SendingApplication app;
    AlarmEvent e;
    e.rule = rule->name;
    e.line = "test";
    e.wall = wallSeconds();
    e.actions = rule->actions;
    const Notice notice = alarmNotice(e, true);
    // One try each, so the answer comes within the time-out.
    Notifier notifier(NotifyLimits{kTestTimeoutSeconds, 1, 0, rule->actions.size() + 1});
    notifier.setSecrets(*secrets);
    CommandRunner commands(CommandLimits{kTestTimeoutSeconds});
    std::vector<std::optional<std::string>> said(rule->actions.size());
    std::vector<bool> failed(rule->actions.size(), false);
    const std::vector<std::pair<std::string, std::string>> env = {
        {"Q7_RULE", e.rule}, {"Q7_LINE", e.line}, {"Q7_ID", "0"}, {"Q7_TEST", "1"}};
    for (std::size_t i = 0; i < rule->actions.size(); ++i) {
        const AlarmAction& a = rule->actions[i];
        const CommandRunner::Key key{e.rule, e.line, 0, i};
        if (!actionNotifies(a.kind)) {
            said[i] = "not tried: a test tells, it does not act";
            continue;
        }
        if (a.kind == AlarmAction::Kind::command) {
            const CommandRunner::Started s = commands.start(key, a.argv, env);
            if (s.result != CommandRunner::Started::Result::started) {
                said[i] = s.text;
                failed[i] = true;
            }
            continue;
        }
        const Notifier::Queued q = notifier.send(key, a, notice);
        if (!q.ok) {
            said[i] = q.text;
            failed[i] = true;
        }
    }
    // Each send and each command ends within its time-out (a command is
    // killed there and reaped at the next look).
    for (;;) {
        for (const Notifier::Sent& s : notifier.reap()) {
            said[s.key.action] = s.text;
            failed[s.key.action] = !s.ok;
        }
        for (const CommandRunner::Ended& end : commands.reap()) {
            said[end.key.action] = end.ok ? std::string("ran") : end.text;
            failed[end.key.action] = !end.ok;
        }
        bool all = true;
        for (const auto& s : said)
            all = all && s.has_value();
        if (all) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    bool anyFailed = false;
    for (std::size_t i = 0; i < said.size(); ++i) {
        std::printf("%s: %s\n", actionText(rule->actions[i]).c_str(), said[i]->c_str());
        anyFailed = anyFailed || failed[i];
    }
    std::fflush(stdout);
    return anyFailed ? exitstatus::notConfirmed : exitstatus::ok;
}
