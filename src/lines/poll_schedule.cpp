#include "lines/poll_schedule.h"

#include <algorithm>

namespace {

// A cycle counts as stretched only beyond the timer's own jitter.
constexpr double kStretchMargin = 1.02;

double secondsBetween(Clock::TimePoint a, Clock::TimePoint b) {
    return std::chrono::duration<double>(b - a).count();
}

} // namespace

PollSchedule::PollSchedule(double intervalSeconds) : interval_(intervalSeconds) {}

void PollSchedule::setIds(std::vector<uint16_t> ids) {
    ids_ = std::move(ids);
    turn_ = 0;
    next_ = {};
    cycleStart_.reset();
    cycle_.reset();
}

void PollSchedule::setInterval(double seconds) {
    interval_ = seconds;
}

std::optional<uint16_t> PollSchedule::due(TimePoint now) const {
    if (ids_.empty() || now < next_) return std::nullopt;
    return ids_[turn_];
}

void PollSchedule::polled(TimePoint start, TimePoint end) {
    if (ids_.empty()) return;
    if (turn_ == 0) {
        if (cycleStart_) cycle_ = secondsBetween(*cycleStart_, start);
        cycleStart_ = start;
    }
    // Each turn's share of the interval, counted from when the turn was due,
    // so the timer's late ticks do not add up; from when it began when it
    // came much later (the list was idle), so no burst catches up; and never
    // before the line is free again.
    const auto share = std::chrono::duration_cast<Clock::TimePoint::duration>(
        std::chrono::duration<double>(interval_ / double(ids_.size())));
    const TimePoint base = start - next_ < share ? next_ : start;
    next_ = std::max(base + share, end);
    turn_ = (turn_ + 1) % ids_.size();
}

bool PollSchedule::stretched() const {
    return cycle_ && *cycle_ > interval_ * kStretchMargin;
}
