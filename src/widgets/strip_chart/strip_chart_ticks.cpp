#include "widgets/strip_chart/strip_chart_ticks.h"

#include "base/number_text.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace {

constexpr double kDay = 86400.0;

// Whole steps of step between min and max (a hair of rounding either side).
std::vector<AxisTick> ticksBetween(double min, double max, double step, int decimals) {
    std::vector<AxisTick> ticks;
    const auto first = (long long)std::ceil(min / step - 1e-9);
    const auto last = (long long)std::floor(max / step + 1e-9);
    for (long long k = first; k <= last; ++k) {
        const double v = k == 0 ? 0.0 : double(k) * step; // never "-0.0"
        ticks.push_back({v, formatFixed(v, decimals)});
    }
    return ticks;
}

// Seconds, minutes and hours that divide the day evenly, then whole days.
double timeStep(double rough) {
    static constexpr double steps[] = {1,   2,   5,    10,   15,   30,    60,    120,   300,
                                       600, 900, 1800, 3600, 7200, 10800, 21600, 43200, kDay};
    for (double s : steps)
        if (s >= rough) return s;
    return kDay * std::max(2.0, niceStep(rough / kDay));
}

struct LocalTime {
    long long days; // since 1970-01-01
    long long secondOfDay;
};

LocalTime local(double wall, const UtcOffsetAt& utcOffset) {
    const auto t = (long long)std::floor(wall) + utcOffset(wall);
    const long long days = t >= 0 ? t / 86400 : -((-t + 86399) / 86400);
    return {days, t - days * 86400};
}

std::string twoDigits(long long v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02lld", v);
    return buf;
}

std::string monthDay(long long days) {
    const std::chrono::year_month_day d{std::chrono::sys_days{std::chrono::days{days}}};
    return twoDigits(unsigned(d.month())) + "-" + twoDigits(unsigned(d.day()));
}

std::string hoursMinutes(long long second, bool withSeconds) {
    std::string text = twoDigits(second / 3600) + ":" + twoDigits(second / 60 % 60);
    return withSeconds ? text + ":" + twoDigits(second % 60) : text;
}

} // namespace

double niceStep(double rough, int* decimals) {
    if (!(rough > 0) || !std::isfinite(rough)) rough = 1.0;
    int exponent = int(std::floor(std::log10(rough)));
    double step = 0;
    for (double m : {1.0, 2.0, 5.0, 10.0}) {
        step = m * std::pow(10.0, exponent);
        if (step >= rough * (1 - 1e-9)) {
            if (m == 10.0) ++exponent;
            break;
        }
    }
    if (decimals) *decimals = std::max(0, -exponent);
    return step;
}

ValueScale autoValueScale(double lo, double hi, int maxTicks) {
    maxTicks = std::max(2, maxTicks);
    if (!(hi > lo)) {
        // A flat trace sits in the middle of a small range around it.
        const double room = std::max(1.0, std::abs(lo) * 0.01);
        lo -= room;
        hi += room;
    } else {
        // A little room, so the trace does not run along the frame.
        const double room = (hi - lo) * 0.05;
        lo -= room;
        hi += room;
    }
    int decimals = 0;
    const double step = niceStep((hi - lo) / maxTicks, &decimals);
    ValueScale s;
    s.min = std::floor(lo / step) * step;
    s.max = std::ceil(hi / step) * step;
    s.ticks = ticksBetween(s.min, s.max, step, decimals);
    return s;
}

ValueScale fixedValueScale(double min, double max, int maxTicks) {
    int decimals = 0;
    const double step = niceStep((max - min) / std::max(2, maxTicks), &decimals);
    return {min, max, ticksBetween(min, max, step, decimals)};
}

long localUtcOffset(double wall) {
    const auto t = std::time_t(std::floor(wall));
    std::tm tm{};
    if (!localtime_r(&t, &tm)) return 0;
    return tm.tm_gmtoff;
}

std::string clockText(double wall, const UtcOffsetAt& utcOffset) {
    return hoursMinutes(local(wall, utcOffset).secondOfDay, true);
}

std::string dateText(double wall, const UtcOffsetAt& utcOffset) {
    const std::chrono::year_month_day d{
        std::chrono::sys_days{std::chrono::days{local(wall, utcOffset).days}}};
    return formatWhole(int(d.year())) + "-" + monthDay(local(wall, utcOffset).days);
}

TimeScale timeScale(double left, double right, int maxTicks, std::span<const ClockSetting> clock,
                    const UtcOffsetAt& utcOffset) {
    TimeScale scale;
    // Without samples there is no time to name: the axis stays bare.
    if (clock.empty() || !(right > left)) return scale;
    scale.title = "Time";
    auto offsetAt = [&](double x) {
        auto s = std::upper_bound(clock.begin(), clock.end(), x,
                                  [](double v, const ClockSetting& c) { return v < c.from; });
        return (s == clock.begin() ? *s : *(s - 1)).offset;
    };
    const double wallLeft = left + offsetAt(left), wallRight = right + offsetAt(right);
    const std::string firstDay = dateText(wallLeft, utcOffset);
    const std::string lastDay = dateText(wallRight, utcOffset);
    scale.title += ", " + firstDay + (lastDay != firstDay ? " to " + lastDay : "");

    const double step = timeStep((right - left) / std::max(2, maxTicks));
    const bool days = step >= kDay, manyDays = right - left >= kDay;
    auto label = [&](double wall) {
        const LocalTime t = local(wall, utcOffset);
        if (days) return monthDay(t.days);
        const std::string time = hoursMinutes(t.secondOfDay, step < 60);
        return manyDays ? monthDay(t.days) + " " + time : time;
    };
    for (size_t i = 0; i < clock.size(); ++i) {
        const bool lastSetting = i + 1 == clock.size();
        const double lo = i == 0 ? left : std::max(left, clock[i].from);
        const double hi = lastSetting ? right : std::min(right, clock[i + 1].from);
        if (lo > hi) continue;
        const double offset = clock[i].offset;
        const double zone = utcOffset(lo + offset);
        for (double wall = std::ceil((lo + offset + zone) / step) * step - zone;
             wall <= hi + offset + 1e-9; wall += step) {
            const double x = wall - offset;
            if (!lastSetting && x >= hi) break;
            // Right after a clock was set back, ticks would crowd.
            if (!scale.ticks.empty() && x - scale.ticks.back().at < step / 2) continue;
            scale.ticks.push_back({x, label(wall)});
        }
    }
    return scale;
}
