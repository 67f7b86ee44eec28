#pragma once
// Time as the line sees it: pauses, read deadlines and time stamps. The
// program runs on the steady clock; a test of the line logic installs a
// virtual one, so a one-second time-out costs it nothing.
#include <chrono>

class Clock {
  public:
    using TimePoint = std::chrono::steady_clock::time_point;
    virtual ~Clock() = default;
    virtual TimePoint now() = 0;
    // Returns once now() has reached t.
    virtual void sleepUntil(TimePoint t) = 0;
};

// The clock in use: the steady clock unless a test installed another.
Clock& lineClock();
// nullptr puts the steady clock back. The clock must outlive its use.
void setLineClock(Clock* clock);

// now() plus a number of seconds.
Clock::TimePoint secondsFromNow(double seconds);

// The wall clock as Unix time in seconds, as runs and their records keep it.
double wallSeconds();
