#pragma once
// The alarm rules: what to watch for on each controller and what to do when
// it happens, read from alarms.conf (INI, one [rule NAME] section each):
//
//   [rule runaway]
//   when = pv > sv + 30 and out == 0 for 2:00
//   do = notify, command /usr/local/bin/kiln-off, off
//   ids = 1,2
//
// ntfy URL posts the event to a topic of an ntfy server, webhook URL posts
// it as JSON; the address is http:// or https://, and the ntfy token and
// the webhook's signing secret are the bridge's, from its credentials file.
// email ADDRESS mails it (subject "q7: rule NAME", the event as plain
// text) through the SMTP server that file names.
//
// The file is checked word by word before anything is sent: an unknown word
// or a bad value refuses the whole file, naming its line, since a rule that
// silently means something else is worse than none. The lines are read
// as the program's other text files are (base/line_reader.h): a '#' starts
// a comment only at a line's start or after a blank, so a command's
// argument or a value may hold one.
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

inline constexpr const char* kAlarmRulesFile = "alarms.conf";

enum class Quantity { deviation, rate, pv, sv, out };
enum class Compare { greater, less, greaterOrEqual, lessOrEqual, equal };

struct Condition {
    enum class Kind {
        compare,        // a quantity against a number, or against sv plus a number
        silent,         // the controller stopped answering
        alarm1,         // its alarm outputs
        alarm2,         //
        sensorError,    // it reports an error display code
        runStarted,     // a run drives it (true from its start to its end)
        runEnded,       // its run has ended (true until another starts)
        segmentChanged, // the poll its run entered another segment
        failedToReach,  // its run waited for it longer than max_holdback
    };
    Kind kind = Kind::compare;
    Quantity quantity = Quantity::pv;
    Compare op = Compare::greater;
    double number = 0;
    bool againstSv = false; // the number is added to SV
    bool percent = false;   // a rate in percent of the plan's
    bool operator==(const Condition&) const = default;
};

struct AlarmAction {
    enum class Kind { notify, publish, log, command, hold, off, sv, ntfy, webhook, email };
    Kind kind = Kind::notify;
    std::vector<std::string> argv; // command: the program's path, then its arguments;
                                   // ntfy, webhook, email: the address
    double value = 0;              // sv: the safe set value
    bool operator==(const AlarmAction&) const = default;
};

struct AlarmRule {
    std::string name;
    std::vector<Condition> when; // all of them at once
    double forSeconds = 0;       // how long they hold before it fires
    std::vector<AlarmAction> actions;
    std::set<int> ids; // empty: every controller
    int line = 0;      // where its section begins in the file
    // One of the rules that apply without a file: an action of it the host
    // has no place for is not one there (ActionResult::nowhere).
    bool builtIn = false;
    bool appliesTo(int id) const { return ids.empty() || ids.count(id) > 0; }
    bool operator==(const AlarmRule&) const = default;
};

struct AlarmRules {
    std::vector<AlarmRule> rules;
    std::string source; // the file's path, or "built-in"
    bool uses(Condition::Kind kind) const;
    bool usesQuantity(Quantity quantity) const;
    bool operator==(const AlarmRules&) const = default;
};

// The rules the text holds, or "alarms.conf line 3: ..." (with the file's
// name as given) telling the first thing wrong.
std::variant<AlarmRules, std::string> parseAlarmRules(std::string_view text,
                                                      const std::string& fileName);
// Reads the file with the bounded reader and parses it.
std::variant<AlarmRules, std::string> loadAlarmRules(const std::string& path);
// What applies when there is no file: the controller's alarm outputs and its
// silence, told and logged, as the notices always were.
AlarmRules builtInAlarmRules();

// Whether the action sends the event somewhere a person reads it, so
// `q7 alarms test` tries it: ntfy, webhook, email and command.
bool actionNotifies(AlarmAction::Kind kind);

// "pv", "deviation"; "notify", "command"; for the event's text.
const char* quantityName(Quantity quantity);
const char* actionName(AlarmAction::Kind kind);
// "command /usr/local/bin/kiln-off now", "sv 200", "hold".
std::string actionText(const AlarmAction& action);
