// Other tools' schedules: what is taken, and what is refused with the
// point or the row that cannot be.
#include "runs/program_import.h"

#include <gtest/gtest.h>

namespace {

std::string refusal(const std::variant<FiringProgram, std::string>& got) {
    const auto* why = std::get_if<std::string>(&got);
    return why ? *why : "taken";
}

} // namespace

TEST(ProgramImport, ACsvIsReadByItsHeaderAndWrittenBackAlike) {
    // Columns in any order, the unit in the header, ';' with decimal commas.
    auto got = importSegmentsCsv("\xEF\xBB\xBFtarget (\xC2\xB0"
                                 "F);hold;rate (\xC2\xB0"
                                 "F/h)\r\n200;0:30;80,5\r\n\r\n1000;0:10;full\r\n",
                                 std::nullopt, "glaze");
    ASSERT_EQ(refusal(got), "taken");
    const FiringProgram& p = std::get<FiringProgram>(got);
    EXPECT_EQ(p.unit, TemperatureUnit::fahrenheit);
    const std::string csv = exportSegmentsCsv(p);
    EXPECT_EQ(csv, "rate (\xC2\xB0"
                   "F/h),target (\xC2\xB0"
                   "F),hold (H:MM)\n80.5,200,0:30\nfull,1000,0:10\n");
    const auto back = importSegmentsCsv(csv, std::nullopt, "glaze");
    ASSERT_EQ(refusal(back), "taken");
    EXPECT_EQ(formatFiringProgram(std::get<FiringProgram>(back)), formatFiringProgram(p));

    EXPECT_EQ(refusal(importSegmentsCsv("rate,target,hold\n80,100,0:30\n", std::nullopt, "x")),
              "row 1: the header names no unit (°C or °F)");
    EXPECT_EQ(refusal(importSegmentsCsv("rate,target\n80,100\n", TemperatureUnit::celsius, "x")),
              "row 1: the header names the columns rate, target and hold");
    EXPECT_EQ(refusal(importSegmentsCsv("rate,target,hold\n80,100,0:30\n80,200\n",
                                        TemperatureUnit::celsius, "x")),
              "row 3: it needs a rate, a target and a hold");
    EXPECT_EQ(refusal(importSegmentsCsv("rate,target,hold\n80,100,0:30\n80,200,0:30 # x\n",
                                        TemperatureUnit::celsius, "x")),
              "row 3: it needs a rate, a target and a hold");
    EXPECT_NE(refusal(importSegmentsCsv("rate,target,hold\n80,100,0:30\n0,200,0:00\n",
                                        TemperatureUnit::celsius, "x"))
                  .rfind("row 3: ", 0),
              std::string::npos);
}

TEST(ProgramImport, AProfileThatIsNoPlanIsRefusedAtItsPoint) {
    const auto c = TemperatureUnit::celsius;
    EXPECT_EQ(refusal(importProfile("[1,2]", c)), "not a profile: it is no JSON object");
    EXPECT_EQ(refusal(importProfile("{\"type\":\"schedule\",\"data\":[]}", c)),
              "not a profile: its \"type\" is not \"profile\"");
    EXPECT_EQ(refusal(importProfile("{\"data\":[[0,20]]}", c)),
              "a profile needs two points at least");
    EXPECT_EQ(refusal(importProfile("{\"data\":[[0,20],[60,\"hot\"]]}", c)),
              "point 2: a point is [seconds, temperature]");
    EXPECT_EQ(refusal(importProfile("{\"data\":[[0,20],[600,100],[300,200]]}", c)),
              "point 3: its time is before the point before it");
    EXPECT_NE(refusal(importProfile("{\"data\":[[0,20],[600,100]", c)).rfind("not JSON: ", 0),
              std::string::npos);
    // Past a controller's reach: refused by the program's own rule, at its point.
    EXPECT_NE(refusal(importProfile("{\"data\":[[0,20],[600,100],[1200,99999]]}", c))
                  .rfind("point 3: ", 0),
              std::string::npos);
    std::string many = "{\"data\":[[0,20]";
    for (int i = 1; i <= 65; ++i)
        many +=
            ",[" + std::to_string(i * 600) + "," + std::to_string(20 + i * (i % 2 ? 10 : -5)) + "]";
    EXPECT_EQ(refusal(importProfile(many + "]}", c)),
              "it makes 65 segments; a program holds at most 64");
}
