// The Line panel's turns on a virtual clock: the panel's timer ticks every
// 0.05 s and each poll takes as long as its controller's exchanges would.
#include "lines/poll_schedule.h"

#include <gtest/gtest.h>

#include <map>

namespace {

using TimePoint = PollSchedule::TimePoint;

TimePoint at(double seconds) {
    return TimePoint(
        std::chrono::duration_cast<TimePoint::duration>(std::chrono::duration<double>(seconds)));
}

struct Turn {
    uint16_t id;
    double start;
};

// Runs the schedule from 100 s for `until` seconds of ticks; a poll of id
// takes pollSeconds(id).
template <class Cost> std::vector<Turn> run(PollSchedule& s, double until, Cost pollSeconds) {
    std::vector<Turn> turns;
    double now = 100.0;
    while (now < 100.0 + until) {
        if (const auto id = s.due(at(now))) {
            const double start = now;
            now += pollSeconds(*id);
            s.polled(at(start), at(now));
            turns.push_back({*id, start - 100.0});
            continue; // a tick came while the poll held the control thread
        }
        now += 0.05; // the next tick
    }
    return turns;
}

std::map<uint16_t, std::vector<double>> startsById(const std::vector<Turn>& turns) {
    std::map<uint16_t, std::vector<double>> starts;
    for (const Turn& t : turns)
        starts[t.id].push_back(t.start);
    return starts;
}

} // namespace

TEST(PollSchedule, WithRoomEachControllerIsReadOncePerIntervalOnTheTimersTicks) {
    PollSchedule s(2.0);
    s.setIds({1, 2, 7, 9});
    // 0.33 s a poll: the turns fall between ticks, yet no lateness adds up.
    const auto turns = run(s, 20.0, [](uint16_t) { return 0.33; });
    for (const auto& [id, starts] : startsById(turns)) {
        ASSERT_GE(starts.size(), 9u) << "id " << id;
        for (std::size_t i = 1; i < starts.size(); ++i)
            EXPECT_NEAR(starts[i] - starts[i - 1], 2.0, 0.051) << "id " << id;
    }
    EXPECT_EQ(turns[0].id, 1);
    EXPECT_EQ(turns[1].id, 2);
    EXPECT_NEAR(turns[1].start, 0.5, 0.051); // spread over the interval
    ASSERT_TRUE(s.cycleSeconds());
    EXPECT_NEAR(*s.cycleSeconds(), 2.0, 0.051);
    EXPECT_FALSE(s.stretched());
}

TEST(PollSchedule, ALineWithoutRoomStretchesEveryonesCycleAlikeAndASilentOneTakesOneTurn) {
    PollSchedule s(1.0);
    s.setIds({1, 2, 3, 4});
    // Id 2 is silent: its try costs a time-out and the quiet wait after it.
    const auto turns = run(s, 60.0, [](uint16_t id) { return id == 2 ? 3.1 : 0.35; });
    const auto starts = startsById(turns);
    // In turn, never the silent one in the others' turns.
    for (std::size_t i = 0; i < turns.size(); ++i)
        EXPECT_EQ(turns[i].id, uint16_t(1 + i % 4)) << "turn " << i;
    const double cycle = 3 * 0.35 + 3.1;
    for (const auto& [id, times] : starts) {
        EXPECT_GE(times.size(), 13u) << "id " << id;
        for (std::size_t i = 1; i < times.size(); ++i)
            EXPECT_NEAR(times[i] - times[i - 1], cycle, 0.051) << "id " << id;
    }
    ASSERT_TRUE(s.cycleSeconds());
    EXPECT_NEAR(*s.cycleSeconds(), cycle, 0.051);
    EXPECT_TRUE(s.stretched());
}
