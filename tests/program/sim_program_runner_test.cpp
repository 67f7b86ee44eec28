// The simulated controller's step program: segments, ramps, loops, the band
// hold and the run status it reports, on a clock the test drives.
#include "sim/program_runner.h"

#include <gtest/gtest.h>

#include <vector>

using namespace sim;

namespace {

struct Step {
    int16_t sv;
    uint16_t time1, time2, action, loops;
};

class Runner : public ::testing::Test {
  protected:
    void program(std::initializer_list<Step> steps, int16_t band = 2000) {
        uint16_t reg = 0x0033;
        for (const Step& s : steps) {
            regs.set(reg++, s.time1);
            regs.set(reg++, uint16_t(s.sv));
            regs.set(reg++, s.time2);
            regs.set(reg++, s.action);
            regs.set(reg++, s.loops);
        }
        regs.set(0x0032, uint16_t(band));
        regs.set(regs::kPv, 235);
        regs.set(regs::kMode, 5);
    }
    // Steps entered, one entry per visit, advancing one simulated second at a time.
    std::vector<int> visits(int seconds) {
        std::vector<int> seen;
        int last = -1;
        for (int t = 0; t < seconds && (t == 0 || runner.running()); ++t) {
            runner.advance(t == 0 ? 0.0 : 1.0, regs);
            const int segment = runner.segment();
            if (runner.running() && segment != last && segment % 2 == 0)
                seen.push_back(segment / 2);
            last = runner.running() ? segment : -1;
        }
        return seen;
    }

    RegisterMap regs;
    ProgramRunner runner;
};

} // namespace

TEST_F(Runner, RampsSoaksAndEndsInOff) {
    program({{1000, 10, 10, 10, 0}, {500, 10, 10, 8, 0}});
    runner.advance(0, regs);
    EXPECT_EQ(regs.get(regs::kRunStatus), 0x0400);
    runner.advance(5, regs); // halfway up the ramp from PV
    EXPECT_NEAR(regs.getSigned(regs::kSv), (235 + 1000) / 2, 1);
    runner.advance(5, regs);
    EXPECT_EQ(regs.get(regs::kRunStatus), 0x0400 | 15);
    EXPECT_EQ(regs.getSigned(regs::kSv), 1000);
    runner.advance(10, regs);
    EXPECT_EQ(regs.get(regs::kRunStatus), 0x0400 | 30);
    runner.advance(20, regs);
    EXPECT_FALSE(runner.running());
    EXPECT_EQ(regs.get(regs::kRunStatus), 0);
    EXPECT_EQ(regs.get(regs::kMode), 0);
    EXPECT_EQ(regs.get(regs::kSv), 250); // the operator's set value comes back
}

TEST_F(Runner, LoopsCountAfterTheFirstPassAndNestedLoopsStartOver) {
    program({{300, 1, 1, 10, 0}, {400, 1, 1, 0, 2}, {300, 1, 1, 8, 0}});
    EXPECT_EQ(visits(100), (std::vector<int>{0, 1, 0, 1, 0, 1, 2}));

    runner = ProgramRunner();
    program({{300, 1, 1, 10, 0}, {400, 1, 1, 1, 1}, {300, 1, 1, 0, 1}, {300, 1, 1, 8, 0}});
    EXPECT_EQ(visits(100), (std::vector<int>{0, 1, 1, 2, 0, 1, 1, 2, 3}));

    runner = ProgramRunner();
    const Step next{300, 1, 1, 10, 0}; // the last step's "next" runs off the end
    program({next, next, next, next, next, next, next, next});
    EXPECT_EQ(visits(100), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));
}

TEST_F(Runner, EndlessLoopKeepsRunningEvenWithZeroTimes) {
    program({{300, 1, 1, 0, 9999}});
    EXPECT_EQ(visits(500).size(), 250u);
    EXPECT_TRUE(runner.running());

    program({{300, 0, 0, 0, 9999}});
    runner.advance(10, regs); // must come back although no time passes in the loop
    EXPECT_TRUE(runner.running());
}

TEST_F(Runner, BandHoldsTheStepUntilPvArrives) {
    program({{1000, 0, 1, 8, 0}}, 10);
    runner.advance(0, regs);
    runner.advance(5, regs);
    EXPECT_TRUE(runner.running());
    EXPECT_EQ(regs.get(regs::kRunStatus), 0x0400 | 15);
    regs.set(regs::kPv, 985);
    runner.advance(0.1, regs);
    EXPECT_TRUE(runner.running());
    regs.set(regs::kPv, 995);
    runner.advance(0.1, regs);
    EXPECT_FALSE(runner.running());
}

TEST_F(Runner, HoursAndMinutesUnitAndStopFromOutside) {
    program({{300, 1, 1, 8, 0}});
    regs.set(0x0026, 1); // HHMM: a time of 1 is a minute
    runner.advance(0, regs);
    runner.advance(59, regs);
    EXPECT_EQ(runner.segment(), 0);
    runner.advance(2, regs);
    EXPECT_EQ(runner.segment(), 1);

    regs.set(regs::kMode, 1); // the master switched to On
    runner.advance(0.1, regs);
    EXPECT_FALSE(runner.running());
    EXPECT_EQ(regs.get(regs::kRunStatus), 0);
    EXPECT_EQ(regs.get(regs::kMode), 1);
    EXPECT_EQ(regs.get(regs::kSv), 250);
}
