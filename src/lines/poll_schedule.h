#pragma once
// When each controller on a line is polled. The controllers take turns in a
// fixed order, one poll each per cycle, and the turns of a cycle are spread
// evenly over the interval. A poll that takes longer than its share pushes
// the next turn back rather than letting any controller skip one, so a line
// without room for the interval stretches the cycle evenly for everybody.
// A silent controller costs its one try (a time-out and the quiet wait after
// it) once per cycle, in its own turn: it is never retried in the others'.
//
// The rule is pure arithmetic on the times it is given, so a test runs it
// on a virtual clock.
#include "base/clock.h"

#include <cstdint>
#include <optional>
#include <vector>

class PollSchedule {
  public:
    using TimePoint = Clock::TimePoint;

    PollSchedule() = default;
    explicit PollSchedule(double intervalSeconds);
    // A new list starts a new cycle from its first id.
    void setIds(std::vector<uint16_t> ids);
    const std::vector<uint16_t>& ids() const { return ids_; }
    void setInterval(double seconds);
    double interval() const { return interval_; }

    // The controller whose turn has come by now; nothing before its turn.
    std::optional<uint16_t> due(TimePoint now) const;
    // When the next turn comes (the epoch when the first turn is free).
    TimePoint nextTurn() const { return next_; }
    // The poll due() gave ran from start to end.
    void polled(TimePoint start, TimePoint end);

    // From the first turn of the last cycle to the first of this one; nothing
    // until a cycle has been gone through.
    std::optional<double> cycleSeconds() const { return cycle_; }
    // The last cycle took longer than the interval.
    bool stretched() const;

  private:
    double interval_ = 2.0;
    std::vector<uint16_t> ids_;
    std::size_t turn_ = 0; // index of the id whose turn is next
    TimePoint next_{};
    std::optional<TimePoint> cycleStart_;
    std::optional<double> cycle_;
};
