// The chart's axes on known data: auto-scaled ranges on round steps, and
// time ticks on whole wall-clock times, also across a clock that was set.
#include "widgets/strip_chart/strip_chart_ticks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

std::vector<std::string> labels(const std::vector<AxisTick>& ticks) {
    std::vector<std::string> out;
    for (const AxisTick& t : ticks)
        out.push_back(t.label);
    return out;
}

std::vector<double> places(const std::vector<AxisTick>& ticks) {
    std::vector<double> out;
    for (const AxisTick& t : ticks)
        out.push_back(t.at);
    return out;
}

using Labels = std::vector<std::string>;

TEST(ValueTicks, StepsAreOneTwoOrFiveTimesAPowerOfTen) {
    int decimals = -1;
    EXPECT_EQ(niceStep(0.7, &decimals), 1.0);
    EXPECT_EQ(decimals, 0);
    EXPECT_EQ(niceStep(1.2), 2.0);
    EXPECT_EQ(niceStep(2.0), 2.0) << "a step that fits exactly is taken";
    EXPECT_EQ(niceStep(3.0), 5.0);
    EXPECT_EQ(niceStep(7.0, &decimals), 10.0);
    EXPECT_EQ(decimals, 0);
    EXPECT_EQ(niceStep(150.0), 200.0);
    EXPECT_DOUBLE_EQ(niceStep(0.25, &decimals), 0.5);
    EXPECT_EQ(decimals, 1);
    EXPECT_DOUBLE_EQ(niceStep(0.03, &decimals), 0.05);
    EXPECT_EQ(decimals, 2);
}

TEST(ValueTicks, AutoScaleFitsTheDataOnRoundNumbers) {
    // A step from 22 to 80: round steps of 20, not 74.8 and 149.5.
    ValueScale s = autoValueScale(22, 80, 6);
    EXPECT_EQ(s.min, 0);
    EXPECT_EQ(s.max, 100);
    EXPECT_EQ(labels(s.ticks), (Labels{"0", "20", "40", "60", "80", "100"}));
    EXPECT_EQ(places(s.ticks), (std::vector<double>{0, 20, 40, 60, 80, 100}));

    // A flat trace at 25 is not a line on the frame: it sits mid-range.
    s = autoValueScale(25, 25, 8);
    EXPECT_EQ(s.min, 24);
    EXPECT_EQ(s.max, 26);
    EXPECT_EQ(labels(s.ticks), (Labels{"24.0", "24.5", "25.0", "25.5", "26.0"}));

    // PV noise around 100: tenths where they are needed.
    s = autoValueScale(98.7, 101.3, 8);
    EXPECT_EQ(s.min, 98.5);
    EXPECT_EQ(s.max, 101.5);
    EXPECT_EQ(s.ticks.front().label, "98.5");
    EXPECT_EQ(s.ticks.back().label, "101.5");

    // Across zero, without a "-0".
    s = autoValueScale(-3.2, 1.1, 5);
    EXPECT_EQ(labels(s.ticks), (Labels{"-4", "-3", "-2", "-1", "0", "1", "2"}));
}

TEST(ValueTicks, AnyDataGetsAFewEvenRoundTicksAroundIt) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> magnitude(-3, 4), centre(-1000, 1000);
    for (int i = 0; i < 2000; ++i) {
        const double span = std::pow(10.0, magnitude(rng)), lo = centre(rng), hi = lo + span;
        const int maxTicks = 3 + i % 8;
        const ValueScale s = autoValueScale(lo, hi, maxTicks);
        SCOPED_TRACE(testing::Message() << lo << " .. " << hi << " in " << maxTicks);
        ASSERT_LE(s.min, lo);
        ASSERT_GE(s.max, hi);
        ASSERT_GE(s.ticks.size(), 2u);
        ASSERT_LE(s.ticks.size(), size_t(maxTicks) + 3);
        EXPECT_NEAR(s.ticks.front().at, s.min, 1e-9 * span);
        EXPECT_NEAR(s.ticks.back().at, s.max, 1e-9 * span);
        const double step = s.ticks[1].at - s.ticks[0].at;
        const double mantissa = step / std::pow(10.0, std::floor(std::log10(step) + 1e-9));
        EXPECT_TRUE(std::abs(mantissa - 1) < 1e-6 || std::abs(mantissa - 2) < 1e-6 ||
                    std::abs(mantissa - 5) < 1e-6)
            << step;
        for (size_t k = 1; k < s.ticks.size(); ++k) {
            EXPECT_NEAR(s.ticks[k].at - s.ticks[k - 1].at, step, 1e-6 * step);
            EXPECT_NE(s.ticks[k].label, s.ticks[k - 1].label);
        }
    }
}

TEST(ValueTicks, AFixedRangeKeepsItsEndsAndTicksInside) {
    const ValueScale s = fixedValueScale(-10.25, 200.5, 8);
    EXPECT_EQ(s.min, -10.25);
    EXPECT_EQ(s.max, 200.5);
    EXPECT_EQ(labels(s.ticks), (Labels{"0", "50", "100", "150", "200"}));
}

// The chart's time 0 is 14:05:09 on 7 March 2026, an hour east of UTC.
constexpr double kWall0 = 1772888709.0;
const UtcOffsetAt kCet = [](double) { return 3600L; };

TEST(TimeTicks, WholeMinutesOrSecondsOfTheWallClock) {
    const ClockSetting clock[] = {{0, kWall0}};
    EXPECT_EQ(clockText(kWall0, kCet), "14:05:09");
    EXPECT_EQ(dateText(kWall0, kCet), "2026-03-07");

    // Ten minutes: every two minutes, on the minute.
    TimeScale s = timeScale(0, 600, 8, clock, kCet);
    EXPECT_EQ(labels(s.ticks), (Labels{"14:06", "14:08", "14:10", "14:12", "14:14"}));
    EXPECT_EQ(places(s.ticks), (std::vector<double>{51, 171, 291, 411, 531}));
    EXPECT_EQ(s.title, "Time, 2026-03-07");

    // One minute: every ten seconds, with the seconds shown.
    s = timeScale(0, 60, 6, clock, kCet);
    EXPECT_EQ(labels(s.ticks),
              (Labels{"14:05:10", "14:05:20", "14:05:30", "14:05:40", "14:05:50", "14:06:00"}));

    // Two days: the date goes with each label.
    s = timeScale(0, 2 * 86400, 8, clock, kCet);
    ASSERT_FALSE(s.ticks.empty());
    EXPECT_EQ(s.ticks[0].label, "03-07 18:00");
    EXPECT_EQ(s.ticks[1].label, "03-08 00:00");
    EXPECT_EQ(s.title, "Time, 2026-03-07 to 2026-03-09");

    // Ten minutes over midnight.
    const ClockSetting late[] = {{0, kWall0 + 9 * 3600 + 50 * 60}}; // 23:55:09
    s = timeScale(0, 600, 8, late, kCet);
    EXPECT_EQ(labels(s.ticks), (Labels{"23:56", "23:58", "00:00", "00:02", "00:04"}));
    EXPECT_EQ(s.title, "Time, 2026-03-07 to 2026-03-08");

    // Nothing plotted yet: no clock to read.
    EXPECT_TRUE(timeScale(0, 600, 8, {}, kCet).ticks.empty());
}

// The clock set back an hour while plotting: the points stay where the
// sample clock put them and the labels say what the wall clock said.
TEST(TimeTicks, AClockSetBackNeitherFoldsTheAxisNorLies) {
    const ClockSetting clock[] = {{0, kWall0}, {300, kWall0 - 3600}};
    const TimeScale s = timeScale(0, 600, 8, clock, kCet);
    EXPECT_EQ(labels(s.ticks), (Labels{"14:06", "14:08", "14:10", "13:12", "13:14"}));
    EXPECT_EQ(places(s.ticks), (std::vector<double>{51, 171, 291, 411, 531}));
}

} // namespace
