// The plan over time, where a kiln at a given PV stands on it, and where an
// interrupted run goes on.
#include "runs/plan.h"
#include "runs/write_estimate.h"

#include <gtest/gtest.h>

namespace {

// 20 °C start; up at 100/h to 120 with a 1 h hold, full to 200 with a
// 0:30 hold, down at -50/h to 150.
FiringProgram threeSegments() {
    FiringProgram p;
    p.name = "t";
    p.start = 20;
    p.holdback = 10;
    p.segments = {{100.0, 120, 3600, 1}, {std::nullopt, 200, 1800, 2}, {-50.0, 150, 0, 3}};
    return p;
}

} // namespace

TEST(Plan, SetValueAndSegmentOverTime) {
    const FiringProgram p = threeSegments();
    const Plan plan(p, programStart(p, 500)); // a named start ignores PV
    EXPECT_DOUBLE_EQ(plan.totalSeconds(), 3600 + 3600 + 1800 + 3600);
    const struct {
        double t, sv;
        int segment;
        bool ramping, up;
    } at[] = {
        {0, 20, 0, true, true},       {1800, 70, 0, true, true},   {3600, 120, 0, false, true},
        {7199, 120, 0, false, true},  {7200, 200, 1, false, true}, {9000, 200, 2, true, false},
        {10800, 175, 2, true, false},
    };
    for (const auto& a : at) {
        const PlanPoint pt = plan.at(a.t);
        EXPECT_EQ(pt.segment, a.segment) << a.t;
        EXPECT_EQ(pt.ramping, a.ramping) << a.t;
        EXPECT_EQ(pt.up, a.up) << a.t;
        EXPECT_NEAR(pt.sv, a.sv, 1e-9) << a.t;
    }
    EXPECT_TRUE(plan.at(12600).ended);
    EXPECT_EQ(plan.at(12600).sv, 150);
}

TEST(Plan, UnitsConvert) {
    EXPECT_DOUBLE_EQ(convertTemperature(100, TemperatureUnit::celsius, TemperatureUnit::fahrenheit),
                     212);
    EXPECT_DOUBLE_EQ(convertTemperature(-40, TemperatureUnit::fahrenheit, TemperatureUnit::celsius),
                     -40);
    EXPECT_DOUBLE_EQ(convertDifference(15, TemperatureUnit::celsius, TemperatureUnit::fahrenheit),
                     27);
}

TEST(Plan, StartFromPvFindsWhereTheKilnIs) {
    FiringProgram p = threeSegments();
    p.start.reset();
    // Cold: the first ramp from where the kiln is.
    PlanStart s = programStart(p, 25);
    EXPECT_EQ(s.step, 0);
    EXPECT_EQ(s.fromSv, 25);
    EXPECT_DOUBLE_EQ(Plan(p, s).at(0).sv, 25);
    // Past the first target: its hold is done, the full segment goes on from PV.
    s = startFromPv(p, 150);
    EXPECT_EQ(s.step, 1);
    EXPECT_EQ(s.fromSv, 150);
    // Above every target but the cool's start: cooling from where it is.
    s = startFromPv(p, 230);
    EXPECT_EQ(s.step, 2);
    EXPECT_DOUBLE_EQ(Plan(p, s).at(0).sv, 230);
    // Colder than the end of the cool: past everything, at the last hold.
    s = startFromPv(p, 100);
    EXPECT_EQ(s.step, 0); // 100 has not reached the first target, 120
    s = startFromPv(p, 140, 2);
    EXPECT_EQ(s.step, 2);
    EXPECT_EQ(s.fromSv, 150);
}

TEST(Plan, AResumedRunKeepsItsHoldOrGoesBackToWhereThePvIs) {
    const FiringProgram p = threeSegments();
    const PlanStart was{0, 20, 0};
    // 40 minutes into the first hold, the kiln still at 115: within the
    // hold-back of 10, so the 40 minutes held count.
    PlanStart s = resumePoint(p, was, 3600 + 2400, 115);
    EXPECT_EQ(s.step, 0);
    EXPECT_EQ(s.fromSv, 120);
    EXPECT_DOUBLE_EQ(s.holdDone, 2400);
    EXPECT_DOUBLE_EQ(Plan(p, s).totalSeconds(), 1200 + 1800 + 3600);
    // Resumed once more, 10 minutes later: the hold done adds up.
    EXPECT_DOUBLE_EQ(resumePoint(p, s, 600, 120).holdDone, 3000);
    // The kiln cooled to 90 meanwhile: the ramp again, from 90, then the whole hold.
    s = resumePoint(p, was, 3600 + 2400, 90);
    EXPECT_EQ(s.step, 0);
    EXPECT_EQ(s.fromSv, 90);
    EXPECT_EQ(s.holdDone, 0);
    // Mid-cool, the kiln cooled faster: the cool goes on from where it is,
    // never back up the plan's ramps.
    s = resumePoint(p, was, 9000 + 600, 170);
    EXPECT_EQ(s.step, 2);
    EXPECT_EQ(s.fromSv, 170);
    // Past the end: nothing is left.
    s = resumePoint(p, was, 20000, 150);
    EXPECT_DOUBLE_EQ(Plan(p, s).totalSeconds(), 0);
}

// The set value writes of a firing, and the min_write one that names none
// gets: a ten-hour ramp is kept within a thousand writes to a controller.
TEST(Plan, WritesOfAFiringAndTheMinWriteChosenForIt) {
    const FiringProgram p = threeSegments();
    const Plan plan(p, programStart(p, 20));
    // Up 100 degrees in tenths (1000 digits) over an hour at 10 s (360
    // steps), 360 and its target; full, 1; down 50 in 3600 s, 360 and 1;
    // and the first set value.
    EXPECT_EQ(plannedWrites(plan, 0.1, false, 10), 1 + 361 + 1 + 361);
    EXPECT_EQ(plannedWrites(plan, 1, false, 10), 1 + 101 + 1 + 51);
    EXPECT_EQ(plannedWrites(plan, 0.1, true, 10), 1 + 2 + 1 + 2); // a rate and an SV per ramp
    EXPECT_EQ(chosenMinWrite(plan, 0.1), 10);

    FiringProgram ten;
    ten.start = 20;
    ten.segments = {{100.0, 1020, 0, 1}};
    const Plan tenHours(ten, programStart(ten, 20));
    // 36 s would give 1000 steps, and the target and the first SV besides.
    EXPECT_EQ(chosenMinWrite(tenHours, 0.1), 37);
    EXPECT_EQ(plannedWrites(tenHours, 0.1, false, 37), 1 + 972 + 1);
    EXPECT_EQ(chosenMinWrite(tenHours, 1), 37);
    const FiringWrites chosen = firingWrites(ten, 20, 0.1, false);
    EXPECT_TRUE(chosen.chosen);
    EXPECT_EQ(writesText(chosen), "about 974 set value writes to each controller, a step at most "
                                  "every 37 s (min_write, chosen for the program)");
    ten.minWrite = 5; // as the program says, however many that takes
    EXPECT_EQ(firingWrites(ten, 20, 0.1, false).minWrite, 5);
    EXPECT_EQ(firingWrites(ten, 20, 0.1, false).writes, 1 + 7200 + 1);
}
