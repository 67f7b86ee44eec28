// alarms.conf as people write it: a whole file read into its rules, and
// files with one thing wrong refused with the line that holds it named.
#include "alarms/alarm_rules.h"

#include <gtest/gtest.h>

namespace {

AlarmRules parsed(const std::string& text) {
    auto r = parseAlarmRules(text, "alarms.conf");
    if (const auto* why = std::get_if<std::string>(&r)) {
        ADD_FAILURE() << *why;
        return {};
    }
    return std::get<AlarmRules>(r);
}

} // namespace

TEST(AlarmRules, AFileReadsIntoItsRules) {
    const AlarmRules rules = parsed("# the kiln's rules\n"
                                    "[rule behind]\n"
                                    "when = deviation > 25 for 5:00   # from the plan\n"
                                    "do = notify, publish\n"
                                    "[rule runaway]\n"
                                    "when = pv>sv+30 and out == 0 for 1:02:03\n"
                                    "do = notify, command /bin/sh -c true, off, sv 200\n"
                                    "ids = 1, 3-4\n"
                                    "[rule stalled]\n"
                                    "when = rate < 50% and pv >= -5\n"
                                    "do = hold, log\n"
                                    "[rule cool]\n"
                                    "when = run ended and pv < sv - 10\n"
                                    "do = notify, ntfy https://ntfy.example/kiln-1, "
                                    "webhook http://[::1]:8123/api/webhook/q7?x=1\n");
    ASSERT_EQ(rules.rules.size(), 4u);
    const AlarmRule& behind = rules.rules[0];
    EXPECT_EQ(behind.name, "behind");
    EXPECT_EQ(behind.line, 2);
    EXPECT_EQ(behind.forSeconds, 300);
    ASSERT_EQ(behind.when.size(), 1u);
    EXPECT_EQ(behind.when[0].quantity, Quantity::deviation);
    EXPECT_EQ(behind.when[0].number, 25);
    EXPECT_TRUE(behind.ids.empty());

    const AlarmRule& runaway = rules.rules[1];
    EXPECT_EQ(runaway.forSeconds, 3723);
    ASSERT_EQ(runaway.when.size(), 2u);
    EXPECT_TRUE(runaway.when[0].againstSv);
    EXPECT_EQ(runaway.when[0].number, 30);
    EXPECT_EQ(runaway.when[1].op, Compare::equal);
    ASSERT_EQ(runaway.actions.size(), 4u);
    EXPECT_EQ(runaway.actions[1].argv, (std::vector<std::string>{"/bin/sh", "-c", "true"}));
    EXPECT_EQ(runaway.actions[3].kind, AlarmAction::Kind::sv);
    EXPECT_EQ(runaway.actions[3].value, 200);
    EXPECT_EQ(runaway.ids, (std::set<int>{1, 3, 4}));
    EXPECT_FALSE(runaway.appliesTo(2));

    EXPECT_TRUE(rules.rules[2].when[0].percent);
    EXPECT_EQ(rules.rules[2].when[1].number, -5);
    EXPECT_EQ(rules.rules[3].when[0].kind, Condition::Kind::runEnded);
    EXPECT_EQ(rules.rules[3].when[1].number, -10);
    ASSERT_EQ(rules.rules[3].actions.size(), 3u);
    EXPECT_EQ(rules.rules[3].actions[1].kind, AlarmAction::Kind::ntfy);
    EXPECT_EQ(actionText(rules.rules[3].actions[2]),
              "webhook http://[::1]:8123/api/webhook/q7?x=1");
}

TEST(AlarmRules, AFileWithOneThingWrongIsRefusedWithItsLine) {
    const std::string head = "[rule a]\nwhen = pv > 10\n";
    const struct {
        std::string text, said;
    } cases[] = {
        {head + "do = notify, wave\n", "line 3: unknown action 'wave'"},
        {head + "do = notify\ncolour = red\n", "line 4: unknown key 'colour'"},
        {"[rule a]\nwhen = pv > 10 or pv < 5\ndo = log\n", "line 2: 'or' where"},
        {"[rule a]\nwhen = temperature > 10\ndo = log\n", "line 2: unknown condition"},
        {"[rule a]\nwhen = pv > hot\ndo = log\n", "line 2: 'hot' is no number"},
        {"[rule a]\nwhen = pv > 10 for 5\ndo = log\n", "line 2: for takes M:SS"},
        {"[rule a]\nwhen = pv > 10 for 5:60\ndo = log\n", "line 2: for takes M:SS"},
        {"[rule a]\nwhen = alarm 3\ndo = log\n", "line 2: alarm takes 1 or 2"},
        {"[rule a]\nwhen = pv > 10 for 1:00 and silent\ndo = log\n", "line 2: for ends"},
        {head + "do = command kiln-off\n", "line 3: command takes the program's full path"},
        {head + "do = command /no/such/program\n", "line 3: /no/such/program is no program"},
        {head + "do = command /tmp\n", "line 3: /tmp is no program q7 may run"}, // a folder
        {head + "do = sv hot\n", "line 3: sv takes a number"},
        {head + "do = ntfy ftp://h/t\n", "line 3: ntfy: 'ftp://h/t' is no http:// or https://"},
        {head + "do = ntfy\n", "line 3: ntfy takes one address"},
        {head + "do = webhook https:///x\n", "line 3: webhook: 'https:///x' names no host"},
        {head + "do = webhook http://h:99999/x\n",
         "line 3: webhook: 'http://h:99999/x' has no port"},
        // A token belongs in the credentials file, never in the rules.
        {head + "do = ntfy https://me:tk_1@h/t\n",
         "line 3: ntfy: 'https://me:tk_1@h/t' names a user"},
        {head + "do = log\nids = 0\n", "line 4: ids takes controller ids"},
        {head + "do = log\nwhen = silent\n", "line 4: when is given twice"},
        {"when = silent\n", "line 1: when comes before any [rule NAME]"},
        {"[alarm a]\n", "line 1: a section is [rule NAME]"},
        {head + "do = log\n[rule a]\n", "line 4: rule a is named on line 1 already"},
        {"[rule a]\nwhen = silent\n\n[rule b]\n", "line 1: rule a has no 'do'"},
        {head + "do = log\a\n", "line 3: the line holds a control character"},
        {head + "do = log" + std::string(1100, ' ') + "\n", "line 3: the line is too long"},
    };
    for (const auto& c : cases) {
        auto r = parseAlarmRules(c.text, "alarms.conf");
        const auto* why = std::get_if<std::string>(&r);
        ASSERT_NE(why, nullptr) << c.text;
        EXPECT_EQ(why->rfind("alarms.conf " + c.said, 0), 0u) << *why;
    }
}

// Read as the other text files are: a '#' inside a word is the command's,
// one after a blank is a comment, and an editor's byte-order mark is no rule.
TEST(AlarmRules, AHashInsideAWordIsKeptAndAByteOrderMarkSkipped) {
    const AlarmRules rules = parsed("\xEF\xBB\xBF[rule a]\n"
                                    "when = silent\n"
                                    "do = command /bin/echo kiln#2 # tell the hall\n");
    ASSERT_EQ(rules.rules.size(), 1u);
    ASSERT_EQ(rules.rules[0].actions.size(), 1u);
    EXPECT_EQ(rules.rules[0].actions[0].argv, (std::vector<std::string>{"/bin/echo", "kiln#2"}));
}

TEST(AlarmRules, WithoutAFileTheAlarmOutputsAndSilenceAreToldAndLogged) {
    const AlarmRules rules = builtInAlarmRules();
    EXPECT_TRUE(rules.uses(Condition::Kind::alarm1));
    EXPECT_TRUE(rules.uses(Condition::Kind::alarm2));
    EXPECT_TRUE(rules.uses(Condition::Kind::silent));
    for (const AlarmRule& r : rules.rules) {
        ASSERT_EQ(r.actions.size(), 2u) << r.name;
        EXPECT_EQ(r.actions[0].kind, AlarmAction::Kind::notify);
        EXPECT_EQ(r.actions[1].kind, AlarmAction::Kind::log);
    }
}
