// Program files: the example of the program library read with its total
// time, every field refused with its line named (a rate too slow for any
// firing too), saving that reads back, and a repeated span of segments.
#include "runs/plan.h"
#include "runs/program_file.h"
#include "runs/program_library.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <limits>
#include <unistd.h>

namespace {

const char* const kExample = "[program]\n"
                             "name = Bisque 04\n"
                             "unit = C                  # C or F\n"
                             "start = pv                # from where the kiln is\n"
                             "holdback = 15\n"
                             "end = off\n"
                             "[segments]\n"
                             "# rate per hour (or \"full\"), target, hold (H:MM)\n"
                             "80   100  0:30\n"
                             "150  600  0:00\n"
                             "100  1000 0:15\n"
                             "full 1060 0:10\n"
                             "-150 800  0:00            # a controlled cool\n";

FiringProgram parsed(const std::string& text) {
    auto p = parseFiringProgram(text);
    if (auto* e = std::get_if<ProgramError>(&p)) {
        ADD_FAILURE() << "line " << e->line << ": " << e->why;
        return {};
    }
    return std::get<FiringProgram>(p);
}

} // namespace

TEST(ProgramFile, TheExampleIsReadWithItsTotalTime) {
    const FiringProgram p = parsed(kExample);
    EXPECT_EQ(p.name, "Bisque 04");
    EXPECT_EQ(p.unit, TemperatureUnit::celsius);
    EXPECT_FALSE(p.start);
    EXPECT_EQ(p.holdback, 15);
    EXPECT_EQ(p.end, EndAction::off);
    EXPECT_FALSE(p.minWrite); // chosen for the run
    ASSERT_EQ(p.segments.size(), 5u);
    EXPECT_FALSE(p.segments[3].rate);
    EXPECT_EQ(*p.segments[4].rate, -150);
    EXPECT_EQ(p.segments[4].line, 13);
    EXPECT_EQ(p.segments[0].holdSeconds, 1800);
    // From a room's 20 °C: 1:00 + 0:30, 3:20, 4:00 + 0:15, 0:10, 1:44.
    const Plan plan(p, programStart(p, roomTemperature(p.unit)));
    EXPECT_EQ(hoursMinutes(plan.totalSeconds()), "10:59");
}

TEST(ProgramFile, EveryFieldIsCheckedAndItsLineNamed) {
    const std::string head = "[program]\nname = T\nunit = C\nstart = 20\n[segments]\n";
    const struct {
        std::string text;
        int line;
        const char* says;
    } bad[] = {
        {head + "100 500 0:10\nfast 600 0:00\n", 7, "the rate takes degrees per hour"},
        {head + "0 500 0:10\n", 6, "not 0"},
        {head + "100 hot 0:10\n", 6, "the target takes a temperature"},
        {head + "100 1,5 0:10\n", 6, "the target takes a temperature"},
        {head + "100 500 0:5\n", 6, "the hold takes H:MM"},
        {head + "100 500 1:60\n", 6, "the hold takes H:MM"},
        {head + "100 500\n", 6, "three fields"},
        {head + "100 500 0:10\n150 400 0:00\n", 7, "climbs, but 400 is below the 500"},
        {head + "-100 500 0:10\n", 6, "cools, but 500 is above the 20"},
        {head + "100 40000 0:10\n", 6, "lies outside -273.15 to 32767"},
        {"[program]\nname = T\nunit = K\n[segments]\n100 500 0:10\n", 3, "unit takes C or F"},
        {"[program]\nname = T\nunit = C\nholdback = -1\n[segments]\n100 5 0:10\n", 4,
         "holdback takes degrees"},
        {"[program]\nname = T\nunit = C\nend = sv\n[segments]\n100 5 0:10\n", 4, "end takes off"},
        {"[program]\nname = T\nunit = F\nend = sv -500\n[segments]\n100 5 0:10\n", 4,
         "end sv -500 lies outside -459.67"},
        {"[program]\nname = T\nunit = C\nmin_write = 0\n[segments]\n100 5 0:10\n", 4,
         "min_write takes seconds"},
        {"[program]\nname = T\nunit = C\npower = 0\n[segments]\n100 5 0:10\n", 4,
         "power takes the kW"},
        {"[program]\nname = T\nunit = C\nprice = -1\n[segments]\n100 5 0:10\n", 4,
         "price takes the price of a kWh"},
        {"[program]\nname = T\nunit = C\nstart = warm\n[segments]\n100 5 0:10\n", 4,
         "start takes a temperature"},
        {"[program]\nname = T\nunit = C\nspeed = 3\n[segments]\n100 5 0:10\n", 4,
         "has no key 'speed'"},
        {"[program]\nname = T\nunit = C\nunit = F\n[segments]\n100 5 0:10\n", 4, "set twice"},
        {"name = T\n[program]\n", 1, "before the [program] section"},
        {"[program]\nunit = C\n[segments]\n100 5 0:10\n", 1, "names no name"},
        {"[program]\nname = T\n[segments]\n100 5 0:10\n", 1, "names no unit"},
        {"[program]\nname = T\nunit = C\n[segments]\n", 0, "no segments"},
        {"[program]\nname = T\nunit = C\n[program]\n", 4, "a second [program]"},
        {"[program]\nname = T\nunit = C\n[steps]\n", 4, "sections are [program] and [segments]"},
        {"[program]\nname = T\x01\n", 2, "control character"},
    };
    for (const auto& b : bad) {
        auto p = parseFiringProgram(b.text);
        const auto* e = std::get_if<ProgramError>(&p);
        ASSERT_NE(e, nullptr) << b.text;
        EXPECT_EQ(e->line, b.line) << b.text << e->why;
        EXPECT_NE(e->why.find(b.says), std::string::npos) << e->why;
    }
    std::string many = head;
    for (int i = 0; i < 65; ++i)
        many += "100 500 0:00\n";
    auto p = parseFiringProgram(many);
    ASSERT_TRUE(std::holds_alternative<ProgramError>(p));
    EXPECT_EQ(std::get<ProgramError>(p).line, 6 + 64);
}

TEST(ProgramFile, ASavedProgramReadsBackAndARefusedFileNamesItsLine) {
    char tmpl[] = "/tmp/q7programs.XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    const std::string dir = tmpl;
    FiringProgram p = parsed(kExample);
    p.minWrite = 2.5;
    p.end = EndAction::sv;
    p.endSv = 200;
    p.segments[1].holdSeconds = 12 * 3600 + 5 * 60;
    p.power = 11.5;
    p.price = 0.32;
    std::string why;
    ASSERT_TRUE(saveFiringProgram(dir + "/b.q7p", p, &why)) << why;
    auto back = loadFiringProgram(dir + "/b.q7p");
    ASSERT_TRUE(std::holds_alternative<FiringProgram>(back)) << std::get<std::string>(back);
    EXPECT_EQ(formatFiringProgram(std::get<FiringProgram>(back)), formatFiringProgram(p));
    EXPECT_NE(formatFiringProgram(p).find("150 600 12:05\n"), std::string::npos);
    EXPECT_EQ(std::get<FiringProgram>(back).power, 11.5);
    EXPECT_EQ(std::get<FiringProgram>(back).price, 0.32);
    // A name the reader would cut at its comment is not saved as something else.
    p.name = "Cone #4";
    EXPECT_FALSE(saveFiringProgram(dir + "/c.q7p", p, &why));
    EXPECT_FALSE(std::filesystem::exists(dir + "/c.q7p"));

    std::ofstream(dir + "/bad.q7p") << "[program]\nname = T\nunit = C\n[segments]\nfast 5 0:10\n";
    auto bad = loadFiringProgram(dir + "/bad.q7p");
    ASSERT_TRUE(std::holds_alternative<std::string>(bad));
    EXPECT_EQ(std::get<std::string>(bad).rfind(dir + "/bad.q7p: line 5: the rate takes", 0), 0u)
        << std::get<std::string>(bad);
    std::filesystem::remove_all(dir);
}

TEST(ProgramFile, ARateSoSlowItsRampOutlastsAnyFiringIsRefusedAndNoTimeWrapsAround) {
    const std::string head = "[program]\nname = T\nunit = C\nstart = 20\n[segments]\n";
    const struct {
        std::string text;
        int line;
        const char* says;
    } bad[] = {
        {head + "1e-300 200 0:00\n", 6,
         "the rate is so slow that a ramp of one degree would take longer than any "
         "firing (30 days)"},
        // No way to go at all, but one that a kiln elsewhere than 20 would take.
        {head + "1e-30 20 0:00\n", 6, "the rate is so slow"},
        {head + "100 500 0:10\n0.5 1000 0:00\n", 7,
         "at 0.5 \xC2\xB0"
         "C/h the ramp from 500 to 1000 would take 1000:00, longer than any firing (30 days)"},
        // From PV: timed from a room's temperature, as the listing is.
        {"[program]\nname = T\nunit = C\nstart = pv\n[segments]\n0.5 500 0:00\n", 6,
         "the ramp from 20 to 500 would take 960:00"},
    };
    for (const auto& b : bad) {
        auto p = parseFiringProgram(b.text);
        const auto* e = std::get_if<ProgramError>(&p);
        ASSERT_NE(e, nullptr) << b.text;
        EXPECT_EQ(e->line, b.line) << b.text << e->why;
        EXPECT_NE(e->why.find(b.says), std::string::npos) << e->why;
    }
    // Slow, yet within a firing.
    const FiringProgram slow = parsed(head + "1 500 0:00\n");
    EXPECT_EQ(hoursMinutes(Plan(slow, programStart(slow, 20)).totalSeconds()), "480:00");
    // What no count of minutes holds is said as none, never rounded into another.
    EXPECT_EQ(hoursMinutes(1e300), "-");
    EXPECT_EQ(hoursMinutes(std::numeric_limits<double>::infinity()), "-");
    EXPECT_EQ(hoursMinutes(std::numeric_limits<double>::quiet_NaN()), "-");
    EXPECT_EQ(hoursMinutes(-90), "-0:02");
}

TEST(ProgramFile, ARepeatIsCheckedLikeAnyKeyLaidOutInItsCyclesAndWrittenBack) {
    // An annealing cycle: up to 500, down to 400, three times, then cool.
    const std::string head = "[program]\nname = Anneal\nunit = C\nstart = 20\n";
    const std::string segments = "[segments]\n"
                                 "480 500 0:00\n"
                                 "100 500 0:10\n"
                                 "-100 400 0:10\n"
                                 "-200 20 0:00\n";
    const FiringProgram p = parsed(head + "repeat = 2 - 3 X 3   # three cycles\n" + segments);
    ASSERT_TRUE(p.repeat);
    EXPECT_EQ(p.repeat->from, 1);
    EXPECT_EQ(p.repeat->to, 2);
    EXPECT_EQ(p.repeat->times, 3);
    // 1:00 up; segment 2 holds 0:10 (its first ramp is flat), 3 cools 1:00
    // and holds 0:10, then twice more 1:10 each; 1:54 down.
    const Plan plan(p, programStart(p, 20));
    std::vector<std::pair<int, int>> steps;
    for (const Plan::Piece& piece : plan.pieces())
        steps.push_back({piece.segment + 1, piece.cycle});
    EXPECT_EQ(steps, (std::vector<std::pair<int, int>>{
                         {1, 0}, {2, 1}, {3, 1}, {2, 2}, {3, 2}, {2, 3}, {3, 3}, {4, 0}}));
    // From the second cycle on, segment 2 climbs from 400 again.
    EXPECT_EQ(plan.pieces()[3].from, 400);
    EXPECT_EQ(hoursMinutes(plan.totalSeconds()), "8:54");
    EXPECT_EQ(programSummary(p, 20), "Anneal, 8 segments run (2-3 three times), 8:54");
    // Written back as the reader takes it.
    const std::string text = formatFiringProgram(p);
    EXPECT_NE(text.find("repeat = 2-3 x 3\n"), std::string::npos);
    EXPECT_EQ(formatFiringProgram(parsed(text)), text);

    const struct {
        std::string repeat;
        std::string says;
    } bad[] = {
        {"2-3 times 3", "repeat takes FROM-TO x N (segments FROM to TO run N times), such as 2-3 "
                        "x 3, not '2-3 times 3'"},
        {"2 x 3", "repeat takes FROM-TO x N"},
        {"-2-3 x 3", "repeat takes FROM-TO x N"},
        {"3-2 x 3", "repeat runs segments 3 to 2: FROM is the first of them, such as 2-3"},
        {"2-5 x 3", "repeat names segment 5, but the program has 4 segments"},
        {"0-3 x 3", "repeat names segment 0, but the program has 4 segments"},
        {"2-3 x 0", "repeat runs its segments 1 to 1000 times, not 0"},
        {"2-3 x 1001", "repeat runs its segments 1 to 1000 times, not 1001"},
    };
    for (const auto& b : bad) {
        auto r = parseFiringProgram(head + "repeat = " + b.repeat + "\n" + segments);
        const auto* e = std::get_if<ProgramError>(&r);
        ASSERT_NE(e, nullptr) << b.repeat;
        EXPECT_EQ(e->line, 5) << b.repeat;
        EXPECT_EQ(e->why.rfind(b.says, 0), 0u) << e->why;
    }
    // A span that climbs all the way cannot begin again below where it ended.
    auto r =
        parseFiringProgram(head + "repeat = 1-2 x 2\n[segments]\n100 500 0:10\n100 600 0:10\n");
    const auto* e = std::get_if<ProgramError>(&r);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->line, 7);
    EXPECT_EQ(e->why, "the rate 100 climbs, but 500 is below the 600 before it: a cool takes a "
                      "negative rate (as the repeat runs it again after segment 2)");
}
