// The ".srp" file layout, byte for byte, and what the reader accepts.
#include "program/srp_format.h"

#include <gtest/gtest.h>

namespace {

StepProgram sample() {
    StepProgram p;
    for (int i = 0; i < 8; ++i) {
        ScriptStep& s = p.steps[std::size_t(i)];
        s.stepSv = 100.0 + 10.5 * i - (i == 3 ? 150.0 : 0.0);
        s.time1 = uint16_t(30 + i);
        s.time2 = uint16_t(60 + i);
        s.action = uint16_t(i == 7 ? 8 : 10);
        s.loopCnt = uint16_t(i);
    }
    p.steps[0] = {150.0, 30, 60, 10, 0};
    p.steps[5].time1 = 40000; // above 32767 stays unsigned
    p.steps[6].loopCnt = 9999;
    p.band = 5.5;
    return p;
}

const std::string kTabs8 = "\t\t\t\t\t\t\t\t";

} // namespace

TEST(SrpFormat, WritesTheFixedLayout) {
    const std::string text = formatSrp(sample());
    EXPECT_EQ(text.substr(0, 26), " 150.0 30 60 10 0 " + kTabs8);
    // One line, no terminator, band last at width six.
    EXPECT_EQ(text.find('\n'), std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 6 - 8), kTabs8 + "   5.5");
    EXPECT_NE(text.find(" -18.5 33 63 10 3 " + kTabs8), std::string::npos);
    EXPECT_NE(text.find(" 152.5 40000 65 10 5 "), std::string::npos);
    EXPECT_NE(text.find(" 9999 " + kTabs8), std::string::npos);

    StepProgram wide;
    wide.steps[0].stepSv = -3276.8; // wider than six characters: never cut
    EXPECT_EQ(formatSrp(wide).substr(0, 16), "-3276.8 0 0 0 0 ");
}

TEST(SrpFormat, ReadsBackEveryValue) {
    const StepProgram p = sample();
    std::string why;
    const auto back = parseSrp(formatSrp(p), &why);
    ASSERT_TRUE(back) << why;
    for (std::size_t i = 0; i < 8; ++i) {
        EXPECT_DOUBLE_EQ(back->steps[i].stepSv, p.steps[i].stepSv) << i;
        EXPECT_EQ(back->steps[i].time1, p.steps[i].time1) << i;
        EXPECT_EQ(back->steps[i].time2, p.steps[i].time2) << i;
        EXPECT_EQ(back->steps[i].action, p.steps[i].action) << i;
        EXPECT_EQ(back->steps[i].loopCnt, p.steps[i].loopCnt) << i;
    }
    EXPECT_DOUBLE_EQ(back->band, 5.5);
    // The file keeps one decimal.
    StepProgram fine;
    fine.steps[2].stepSv = 12.34;
    EXPECT_DOUBLE_EQ(parseSrp(formatSrp(fine), &why)->steps[2].stepSv, 12.3);
}

TEST(SrpFormat, AnyWhitespaceLayoutReadsTheSame) {
    const std::string writer = formatSrp(sample());
    std::string spaces, lines;
    bool gap = false;
    for (char c : writer) {
        const bool ws = c == ' ' || c == '\t';
        if (ws) {
            gap = true;
            continue;
        }
        if (gap && !spaces.empty()) {
            spaces += ' ';
            lines += "\r\n";
        }
        gap = false;
        spaces += c;
        lines += c;
    }
    std::string why;
    const auto a = parseSrp(writer, &why), b = parseSrp(spaces, &why), c = parseSrp(lines, &why);
    ASSERT_TRUE(a && b && c) << why;
    EXPECT_EQ(formatSrp(*a), formatSrp(*b));
    EXPECT_EQ(formatSrp(*a), formatSrp(*c));
    EXPECT_EQ(formatSrp(*a), writer);
}

TEST(SrpFormat, RefusesWhatIsNotAProgram) {
    const std::string good = formatSrp(sample());
    std::string why;
    EXPECT_FALSE(parseSrp("", &why));
    EXPECT_FALSE(parseSrp(good.substr(0, good.rfind('\t')), &why)); // 40 numbers
    EXPECT_NE(why.find("40 numbers"), std::string::npos) << why;
    EXPECT_FALSE(parseSrp(good + " 7", &why));

    auto replaced = [&](const std::string& from, const std::string& to) {
        std::string t = good;
        t.replace(t.find(from), from.size(), to);
        return t;
    };
    EXPECT_FALSE(parseSrp(replaced(" 30 60 ", " abc 60 "), &why));
    EXPECT_FALSE(parseSrp(replaced(" 30 60 ", " 65536 60 "), &why));
    EXPECT_NE(why.find("0 to 65535"), std::string::npos) << why;
    EXPECT_FALSE(parseSrp(replaced(" 30 60 ", " -1 60 "), &why));
    EXPECT_FALSE(parseSrp(replaced(" 30 60 ", " 30.5 60 "), &why));
    EXPECT_FALSE(parseSrp(replaced(" 150.0 ", " nan "), &why));
    EXPECT_FALSE(parseSrp(replaced(" 150.0 ", " 1e9 "), &why));
    EXPECT_TRUE(parseSrp(replaced(" 150.0 ", " 150 "), &why)) << why;
    EXPECT_TRUE(parseSrp(replaced(" 30 60 ", " 65535 60 "), &why)) << why;
    // Set values and the band reach as far as a register does in whole degrees.
    EXPECT_TRUE(parseSrp(replaced(" 150.0 ", " 32767.0 "), &why)) << why;
    EXPECT_TRUE(parseSrp(replaced(" 150.0 ", " -32768.0 "), &why)) << why;
    EXPECT_TRUE(parseSrp(replaced("   5.5", "9999.0"), &why)) << why;
    EXPECT_FALSE(parseSrp(replaced(" 150.0 ", " 32768.0 "), &why));
    EXPECT_NE(why.find("more than a register holds"), std::string::npos) << why;
}
