// The path a running program takes, the times the run display shows, and
// the profile drawn from a table.
#include "program/run_timeline.h"

#include <gtest/gtest.h>

namespace {

// Step 0 ramps to 100 in 10 and soaks 20, step 1 goes to 50 (5 + 5) and
// loops back to step 0 once, step 2 soaks at 30 for 10 and ends.
StepProgram loopingProgram(uint16_t loops = 1) {
    StepProgram p;
    p.steps[0] = {100.0, 10, 20, 10, 0};
    p.steps[1] = {50.0, 5, 5, 0, loops};
    p.steps[2] = {30.0, 0, 10, 8, 0};
    return p;
}

} // namespace

TEST(RunTimeline, ElapsedAndRemainingFromTheRunningStepAndItsTime) {
    const Timeline plan = planRun(loopingProgram(), 1.0);
    ASSERT_EQ(plan.visits.size(), 5u);
    EXPECT_TRUE(plan.complete);
    EXPECT_EQ(plan.visits[2].step, 0);
    EXPECT_DOUBLE_EQ(plan.visits[2].start, 40.0);
    EXPECT_DOUBLE_EQ(plan.visits[4].end(), 90.0);

    // The second pass through step 0, 5 s into its soak.
    EXPECT_EQ(followVisit(plan, 1, 0, true), 2);
    EXPECT_EQ(followVisit(plan, 2, 0, false), 2);
    EXPECT_EQ(followVisit(plan, 4, 1, true), std::nullopt);
    RunTimes t = runTimes(plan, 2, 1, 5.0);
    EXPECT_DOUBLE_EQ(t.stepElapsed, 15.0);
    EXPECT_DOUBLE_EQ(t.stepRemaining, 15.0);
    EXPECT_DOUBLE_EQ(t.programElapsed, 55.0);
    EXPECT_EQ(t.programRemaining, 35.0);
    EXPECT_DOUBLE_EQ(t.planPosition, 55.0);
    // Held past its time by the band: nothing left of the step, the rest of
    // the program still to come, the marker at the step's end.
    t = runTimes(plan, 2, 1, 25.0);
    EXPECT_DOUBLE_EQ(t.stepRemaining, 0.0);
    EXPECT_EQ(t.programRemaining, 20.0);
    EXPECT_DOUBLE_EQ(t.planPosition, 70.0);
    // In the ramp the soak is still to come.
    EXPECT_DOUBLE_EQ(runTimes(plan, 1, 0, 2.0).stepRemaining, 8.0);

    // HH:MM counts minutes; an endless loop has no end to count down to.
    EXPECT_DOUBLE_EQ(planRun(loopingProgram(), 60.0).visits[1].start, 1800.0);
    EXPECT_EQ(secondsPerCount(7), std::nullopt);
    const Timeline endless = planRun(loopingProgram(9999), 1.0, 50);
    EXPECT_FALSE(endless.complete);
    EXPECT_TRUE(endless.endless);
    EXPECT_EQ(endless.visits.size(), 50u);
    EXPECT_FALSE(planRun(loopingProgram(500), 1.0, 50).endless); // long, but it ends
    EXPECT_EQ(runTimes(endless, 3, 0, 0.0).programRemaining, std::nullopt);
}

TEST(RunTimeline, ProfileRampsToEachStepAndSoaksThere) {
    const StepProgram program = loopingProgram();
    const std::vector<ProfilePoint> points = profilePoints(program, planRun(program, 1.0), 20.0);
    const std::vector<std::pair<double, double>> want = {
        {0, 20},  {10, 100}, {30, 100}, {35, 50}, {40, 50}, {50, 100},
        {70, 100}, {75, 50},  {80, 50},  {80, 30}, {90, 30}};
    ASSERT_EQ(points.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) {
        EXPECT_DOUBLE_EQ(points[i].seconds, want[i].first) << i;
        EXPECT_DOUBLE_EQ(points[i].sv, want[i].second) << i;
    }
}
