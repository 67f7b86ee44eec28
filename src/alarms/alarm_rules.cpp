#include "alarms/alarm_rules.h"

#include "alarms/http_url.h"
#include "alarms/smtp_send.h"

#include "base/atomic_file.h"
#include "base/id_list.h"
#include "base/line_reader.h"
#include "base/number_text.h"
#include "base/typed_number.h"
#include "runs/program_file.h"

#include <cctype>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A rule's name is one word, so an event's text and Q7_RULE need no quoting.
bool isRuleName(std::string_view name) {
    if (name.empty() || name.size() > 40) return false;
    for (char ch : name)
        if (!std::isalnum(static_cast<unsigned char>(ch)) && ch != '-' && ch != '_') return false;
    return true;
}

// The words of a condition: names and numbers, and the comparison and sign
// operators on their own, so "pv>sv+30" reads as "pv > sv + 30".
std::vector<std::string> tokens(std::string_view text) {
    std::vector<std::string> out;
    std::size_t i = 0;
    while (i < text.size()) {
        const char ch = text[i];
        if (std::isspace(static_cast<unsigned char>(ch))) {
            ++i;
        } else if (ch == '>' || ch == '<' || ch == '=' || ch == '!') {
            const bool two = i + 1 < text.size() && text[i + 1] == '=';
            out.emplace_back(text.substr(i, two ? 2 : 1));
            i += two ? 2 : 1;
        } else if (ch == '+' || ch == '-') {
            out.emplace_back(1, ch);
            ++i;
        } else {
            std::size_t j = i;
            while (j < text.size() && !std::isspace(static_cast<unsigned char>(text[j])) &&
                   std::string_view("<>=!+-").find(text[j]) == std::string_view::npos)
                ++j;
            out.emplace_back(text.substr(i, j - i));
            i = j;
        }
    }
    return out;
}

std::optional<Quantity> quantityNamed(const std::string& w) {
    static const std::map<std::string, Quantity> names = {{"deviation", Quantity::deviation},
                                                          {"rate", Quantity::rate},
                                                          {"pv", Quantity::pv},
                                                          {"sv", Quantity::sv},
                                                          {"out", Quantity::out}};
    const auto it = names.find(w);
    return it == names.end() ? std::nullopt : std::optional(it->second);
}

std::optional<Compare> compareNamed(const std::string& w) {
    if (w == ">") return Compare::greater;
    if (w == "<") return Compare::less;
    if (w == ">=") return Compare::greaterOrEqual;
    if (w == "<=") return Compare::lessOrEqual;
    if (w == "==") return Compare::equal;
    return std::nullopt;
}

// M:SS or H:MM:SS as seconds.
std::optional<double> duration(const std::string& w) {
    std::vector<long long> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t colon = w.find(':', start);
        const std::string part = w.substr(start, colon - start);
        const auto n = parseWhole(part);
        if (!n || *n < 0 || part.empty()) return std::nullopt;
        if (!parts.empty() && (part.size() != 2 || *n > 59)) return std::nullopt;
        parts.push_back(*n);
        if (colon == std::string::npos) break;
        start = colon + 1;
    }
    if (parts.size() == 2) return double(parts[0] * 60 + parts[1]);
    if (parts.size() == 3) return double(parts[0] * 3600 + parts[1] * 60 + parts[2]);
    return std::nullopt;
}

class WhenReader {
  public:
    explicit WhenReader(std::vector<std::string> words) : w_(std::move(words)) {}

    // The conditions and the for time, or why not.
    std::string read(AlarmRule& rule) {
        if (w_.empty()) return "when needs a condition";
        for (;;) {
            Condition c;
            if (std::string why = condition(c); !why.empty()) return why;
            rule.when.push_back(c);
            if (at_ == w_.size()) return "";
            if (w_[at_] == "and") {
                ++at_;
                continue;
            }
            if (w_[at_] == "for") {
                if (at_ + 2 != w_.size())
                    return at_ + 1 == w_.size()
                               ? "for needs a time, as 5:00"
                               : "for ends the condition; '" + w_[at_ + 2] + "' follows it";
                const auto s = duration(w_[at_ + 1]);
                if (!s) return "for takes M:SS or H:MM:SS, not '" + w_[at_ + 1] + "'";
                rule.forSeconds = *s;
                return "";
            }
            return "'" + w_[at_] + "' where 'and' or 'for' goes";
        }
    }

  private:
    std::string next() { return at_ < w_.size() ? w_[at_++] : std::string(); }
    bool take(const char* word) {
        if (at_ < w_.size() && w_[at_] == word) return ++at_, true;
        return false;
    }

    // A number with its sign; percent says whether a '%' may follow.
    std::string number(double& value, bool* percent) {
        double sign = 1;
        if (take("-"))
            sign = -1;
        else
            take("+");
        std::string word = next();
        if (word.empty()) return "a number is missing at the end";
        if (percent && word.size() > 1 && word.back() == '%') {
            *percent = true;
            word.pop_back();
        }
        const TypedNumber n = parseTypedNumber(word);
        if (!n.value) return "'" + word + "' is no number";
        value = sign * *n.value;
        return "";
    }

    std::string condition(Condition& c) {
        const std::string first = next();
        using K = Condition::Kind;
        const auto pair = [&](const char* second, K kind) -> std::string {
            if (next() != second) return "'" + first + "' goes with '" + second + "'";
            c.kind = kind;
            return "";
        };
        if (first == "silent") return c.kind = K::silent, "";
        if (first == "alarm") {
            const std::string n = next();
            if (n != "1" && n != "2") return "alarm takes 1 or 2, not '" + n + "'";
            c.kind = n == "1" ? K::alarm1 : K::alarm2;
            return "";
        }
        if (first == "sensor") return pair("error", K::sensorError);
        if (first == "segment") return pair("changed", K::segmentChanged);
        if (first == "failed") {
            if (next() != "to" || next() != "reach") return "'failed' goes with 'to reach'";
            c.kind = K::failedToReach;
            return "";
        }
        if (first == "run") {
            const std::string what = next();
            if (what != "started" && what != "ended")
                return "run takes started or ended, not '" + what + "'";
            c.kind = what == "started" ? K::runStarted : K::runEnded;
            return "";
        }
        const auto q = quantityNamed(first);
        if (!q) return "unknown condition '" + first + "'";
        c.kind = K::compare;
        c.quantity = *q;
        const std::string op = next();
        const auto cmp = compareNamed(op);
        if (!cmp) return first + " needs >, <, >=, <= or ==, not '" + op + "'";
        c.op = *cmp;
        if (take("sv")) {
            c.againstSv = true;
            if (at_ < w_.size() && (w_[at_] == "+" || w_[at_] == "-")) {
                const double sign = next() == "-" ? -1 : 1;
                double n = 0;
                if (std::string why = number(n, nullptr); !why.empty()) return why;
                c.number = sign * n;
            }
            return "";
        }
        bool percent = false;
        if (std::string why = number(c.number, q == Quantity::rate ? &percent : nullptr);
            !why.empty())
            return why;
        c.percent = percent;
        return "";
    }

    std::vector<std::string> w_;
    std::size_t at_ = 0;
};

std::vector<std::string> words(std::string_view text) {
    std::vector<std::string> out;
    for (std::string_view w : splitTokens(text))
        out.emplace_back(w);
    return out;
}

std::string readAction(std::string_view text, AlarmAction& a) {
    const std::vector<std::string> w = words(text);
    if (w.empty()) return "an action is missing between two commas";
    using K = AlarmAction::Kind;
    static const std::map<std::string, K> plain = {{"notify", K::notify},
                                                   {"publish", K::publish},
                                                   {"log", K::log},
                                                   {"hold", K::hold},
                                                   {"off", K::off}};
    if (const auto it = plain.find(w[0]); it != plain.end()) {
        if (w.size() > 1) return w[0] + " takes nothing more, not '" + w[1] + "'";
        a.kind = it->second;
        return "";
    }
    if (w[0] == "sv") {
        if (w.size() != 2) return "sv takes one set value, as sv 200";
        const TypedNumber n = parseTypedNumber(w[1]);
        if (!n.value) return "sv " + n.problem;
        a.kind = K::sv;
        a.value = *n.value;
        return "";
    }
    if (w[0] == "command") {
        if (w.size() < 2) return "command needs the program's path";
        // Run without a shell and without a search of PATH: the file named
        // is the file run, whoever starts q7 and from wherever.
        if (w[1].front() != '/') return "command takes the program's full path, not '" + w[1] + "'";
        // A folder passes the access check; what runs is a regular file.
        struct stat st {};
        if (::stat(w[1].c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
            ::access(w[1].c_str(), X_OK) != 0)
            return w[1] + " is no program q7 may run";
        a.kind = K::command;
        a.argv.assign(w.begin() + 1, w.end());
        return "";
    }
    if (w[0] == "ntfy" || w[0] == "webhook") {
        if (w.size() != 2) return w[0] + " takes one address, as " + w[0] + " https://host/topic";
        std::string why;
        if (!parseHttpUrl(w[1], &why)) return w[0] + ": " + why;
        a.kind = w[0] == "ntfy" ? K::ntfy : K::webhook;
        a.argv = {w[1]};
        return "";
    }
    if (w[0] == "email") {
        if (w.size() != 2 || !isMailAddress(w[1]))
            return "email takes one mail address, as email someone@example.com" +
                   (w.size() == 2 ? ", not '" + w[1] + "'" : std::string());
        a.kind = K::email;
        a.argv = {w[1]};
        return "";
    }
    return "unknown action '" + w[0] + "'";
}

std::string readActions(std::string_view text, AlarmRule& rule) {
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        AlarmAction a;
        if (std::string why = readAction(text.substr(start, comma - start), a); !why.empty())
            return why;
        rule.actions.push_back(a);
        if (comma == std::string_view::npos) return "";
        start = comma + 1;
    }
}

} // namespace

bool AlarmRules::uses(Condition::Kind kind) const {
    for (const AlarmRule& r : rules)
        for (const Condition& c : r.when)
            if (c.kind == kind) return true;
    return false;
}

bool AlarmRules::usesQuantity(Quantity quantity) const {
    for (const AlarmRule& r : rules)
        for (const Condition& c : r.when)
            if (c.kind == Condition::Kind::compare && c.quantity == quantity) return true;
    return false;
}

std::variant<AlarmRules, std::string> parseAlarmRules(std::string_view text,
                                                      const std::string& fileName) {
    AlarmRules out;
    out.source = fileName;
    std::string problem;
    std::set<std::string> keys; // of the rule being read
    const auto refuse = [&](int line, const std::string& why) {
        return fileName + " line " + std::to_string(line) + ": " + why;
    };
    // A rule is whole once its section ends.
    const auto finish = [&]() -> std::string {
        if (out.rules.empty()) return "";
        const AlarmRule& r = out.rules.back();
        if (r.when.empty()) return refuse(r.line, "rule " + r.name + " has no 'when'");
        if (r.actions.empty()) return refuse(r.line, "rule " + r.name + " has no 'do'");
        return "";
    };
    LineReader lines(text);
    while (const auto read = lines.next()) {
        const int lineNo = read->number;
        const std::string_view line = read->text;
        if (read->kind == TextLine::Kind::section) {
            if (std::string why = finish(); !why.empty()) return why;
            const std::vector<std::string> w = words(read->head);
            if (w.size() != 2 || w[0] != "rule")
                return refuse(lineNo, "a section is [rule NAME], not " + std::string(line));
            if (!isRuleName(w[1]))
                return refuse(lineNo, "a rule's name is one word of letters, digits, - and _");
            for (const AlarmRule& r : out.rules)
                if (r.name == w[1])
                    return refuse(lineNo, "rule " + w[1] + " is named on line " +
                                              std::to_string(r.line) + " already");
            out.rules.push_back({});
            out.rules.back().name = w[1];
            out.rules.back().line = lineNo;
            keys.clear();
            continue;
        }
        if (read->kind != TextLine::Kind::entry)
            return refuse(lineNo, "'" + std::string(line) + "' is no key = value");
        const std::string key(read->key);
        const std::string_view value = read->value;
        if (out.rules.empty()) return refuse(lineNo, key + " comes before any [rule NAME]");
        AlarmRule& rule = out.rules.back();
        if (key != "when" && key != "do" && key != "ids")
            return refuse(lineNo, "unknown key '" + key + "' (a rule has when, do and ids)");
        if (!keys.insert(key).second) return refuse(lineNo, key + " is given twice");
        if (key == "when") {
            if (std::string why = WhenReader(tokens(value)).read(rule); !why.empty())
                return refuse(lineNo, why);
        } else if (key == "do") {
            if (std::string why = readActions(value, rule); !why.empty())
                return refuse(lineNo, why);
        } else {
            IdList ids = parseIdList(value);
            if (!ids.ok() || ids.ids.empty())
                return refuse(lineNo, "ids takes controller ids, as 1,3,5-7" +
                                          (ids.ok() ? std::string() : ": " + ids.error));
            rule.ids.insert(ids.ids.begin(), ids.ids.end());
        }
    }
    if (!lines.problem().empty()) return refuse(lines.problemLine(), lines.problem());
    if (std::string why = finish(); !why.empty()) return why;
    return out;
}

std::variant<AlarmRules, std::string> loadAlarmRules(const std::string& path) {
    std::string text, why;
    if (!readSmallFile(path, &text, 65536, &why)) return path + ": " + why;
    return parseAlarmRules(text, path);
}

AlarmRules builtInAlarmRules() {
    auto parsed = parseAlarmRules("[rule alarm1]\nwhen = alarm 1\ndo = notify, log\n"
                                  "[rule alarm2]\nwhen = alarm 2\ndo = notify, log\n"
                                  "[rule silent]\nwhen = silent\ndo = notify, log\n"
                                  "[rule unreached]\nwhen = failed to reach\ndo = notify, log\n",
                                  "built-in");
    AlarmRules rules = std::get<AlarmRules>(std::move(parsed));
    for (AlarmRule& r : rules.rules)
        r.builtIn = true;
    return rules;
}

const char* quantityName(Quantity quantity) {
    switch (quantity) {
    case Quantity::deviation:
        return "deviation";
    case Quantity::rate:
        return "rate";
    case Quantity::pv:
        return "pv";
    case Quantity::sv:
        return "sv";
    case Quantity::out:
        return "out";
    }
    return "?";
}

bool actionNotifies(AlarmAction::Kind kind) {
    using K = AlarmAction::Kind;
    return kind == K::ntfy || kind == K::webhook || kind == K::email || kind == K::command;
}

const char* actionName(AlarmAction::Kind kind) {
    using K = AlarmAction::Kind;
    switch (kind) {
    case K::notify:
        return "notify";
    case K::publish:
        return "publish";
    case K::log:
        return "log";
    case K::command:
        return "command";
    case K::hold:
        return "hold";
    case K::off:
        return "off";
    case K::sv:
        return "sv";
    case K::ntfy:
        return "ntfy";
    case K::webhook:
        return "webhook";
    case K::email:
        return "email";
    }
    return "?";
}

std::string actionText(const AlarmAction& action) {
    std::string text = actionName(action.kind);
    if (action.kind == AlarmAction::Kind::sv) text += " " + numberText(action.value);
    for (const std::string& a : action.argv)
        text += " " + a;
    return text;
}
