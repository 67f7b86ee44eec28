#pragma once
// Axis ticks a person reads at a glance: values on steps of 1, 2 or 5 times
// a power of ten, times on whole seconds, minutes, hours or days of the wall
// clock. Plain arithmetic, so the choices are tested on known data.
#include <functional>
#include <span>
#include <string>
#include <vector>

struct AxisTick {
    double at;
    std::string label;
};

// The smallest of 1, 2 or 5 times a power of ten that is at least rough;
// *decimals: the digits after the point its multiples need.
double niceStep(double rough, int* decimals = nullptr);

struct ValueScale {
    double min = 0, max = 0;
    std::vector<AxisTick> ticks;
};
// A range around data from lo to hi: a little room either side, widened to
// whole steps, with at most about maxTicks steps.
ValueScale autoValueScale(double lo, double hi, int maxTicks);
// Ticks on whole steps inside a range the operator set.
ValueScale fixedValueScale(double min, double max, int maxTicks);

// Seconds east of UTC of the local time zone at a wall time (seconds since 1970).
using UtcOffsetAt = std::function<long(double wall)>;
long localUtcOffset(double wall);

// From chart time `from` on, the wall clock read chart time + offset. The
// first stretch also covers everything before it.
struct ClockSetting {
    double from;
    double offset;
};
struct TimeScale {
    std::vector<AxisTick> ticks;
    std::string title; // "Time", with the date (or dates) shown; empty without samples
};
// Ticks at whole wall-clock times between chart times left and right. A
// clock set while plotting starts its own run of ticks where it took effect:
// the points stay where the sample clock put them, and the labels say what
// the wall clock said.
TimeScale timeScale(double left, double right, int maxTicks, std::span<const ClockSetting> clock,
                    const UtcOffsetAt& utcOffset);

// "14:05:09" and "2026-03-07" of a wall time, in local time.
std::string clockText(double wall, const UtcOffsetAt& utcOffset);
std::string dateText(double wall, const UtcOffsetAt& utcOffset);
