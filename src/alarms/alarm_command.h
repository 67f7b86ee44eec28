#pragma once
// The `command` action: a program run without a shell (its path and
// arguments as the rule gives them), told the event in its environment
// (Q7_RULE, Q7_LINE, Q7_ID, Q7_PV, ...). At most one runs at a time per
// rule, controller and action (a rule's second command, or its firing on
// another controller, is a command of its own), one still running after
// the limit is killed with what it started,
// and each is reaped at a later poll without waiting, so a slow command
// never holds up the line. Time is the line clock's.
#include "base/clock.h"

#include <map>
#include <string>
#include <sys/types.h>
#include <tuple>
#include <utility>
#include <vector>

struct CommandLimits {
    double killAfterSeconds = 30;
};

class CommandRunner {
  public:
    explicit CommandRunner(CommandLimits limits = CommandLimits{}) : limits_(limits) {}
    // The commands still running are left to finish on their own: one that
    // switches a kiln off must not be cut short because q7 ended.
    ~CommandRunner() = default;
    CommandRunner(const CommandRunner&) = delete;
    CommandRunner& operator=(const CommandRunner&) = delete;

    struct Started {
        enum class Result { started, busy, failed } result = Result::failed;
        std::string text; // "started (pid 123)", "still running (pid 120)", "cannot start: ..."
    };
    // Whose command it is: the rule, fired for controller id on line, and
    // which of its actions.
    struct Key {
        std::string rule, line;
        int id = 0;
        std::size_t action = 0;
        bool operator<(const Key& k) const {
            return std::tie(rule, line, id, action) < std::tie(k.rule, k.line, k.id, k.action);
        }
    };
    // env: NAME=VALUE pairs added to q7's own.
    Started start(const Key& key, const std::vector<std::string>& argv,
                  const std::vector<std::pair<std::string, std::string>>& env);

    struct Ended {
        Key key;
        std::string program;
        bool ok = false;  // exited with status 0
        std::string text; // "exited with status 3", "killed after 30 s", "done"
    };
    // The commands that ended since, and those past the limit killed (they
    // are reaped at a later call). Never waits.
    std::vector<Ended> reap();
    bool running(const Key& key) const { return running_.count(key) > 0; }

  private:
    struct Child {
        pid_t pid = 0;
        std::string program;
        Clock::TimePoint started;
        bool killed = false;
    };
    CommandLimits limits_;
    std::map<Key, Child> running_;
};
