#include "base/clock.h"

#include <atomic>
#include <cerrno>
#include <ctime>

namespace {

class SteadyClock final : public Clock {
  public:
    TimePoint now() override { return std::chrono::steady_clock::now(); }
    // The steady clock is CLOCK_MONOTONIC, so an absolute sleep on it ends at
    // t however often a signal interrupts it.
    void sleepUntil(TimePoint t) override {
        const auto ns =
            std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count();
        if (ns <= 0) return;
        const timespec until{time_t(ns / 1000000000LL), long(ns % 1000000000LL)};
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
        }
    }
};

SteadyClock gSteady;
std::atomic<Clock*> gClock{nullptr};

} // namespace

Clock& lineClock() {
    Clock* c = gClock.load();
    return c ? *c : gSteady;
}

void setLineClock(Clock* clock) {
    gClock = clock;
}

Clock::TimePoint secondsFromNow(double seconds) {
    return lineClock().now() + std::chrono::duration_cast<Clock::TimePoint::duration>(
                                   std::chrono::duration<double>(seconds));
}

double wallSeconds() {
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}
