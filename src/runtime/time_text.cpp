// Clock text and rounding helpers the logic formats its output with.
#include "runtime/panel_service.h"

#include <chrono>
#include <cmath>
#include <ctime>

namespace {
std::tm localNow() {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    return tm;
}
} // namespace

std::string TimeStr() {
    const std::tm tm = localNow();
    char buf[16];
    std::strftime(buf, sizeof buf, "%H:%M:%S", &tm);
    return buf;
}

int GetSystemDate(int* month, int* day, int* year) {
    const std::tm tm = localNow();
    if (month) *month = tm.tm_mon + 1;
    if (day) *day = tm.tm_mday;
    if (year) *year = tm.tm_year + 1900;
    return 0;
}

double SampleTime() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Ties go away from zero (2.5 -> 3, -2.5 -> -3), which is std::lround's rule,
// not the banker's rounding of the current FP rounding mode.
long RoundRealToNearestInteger(double value) {
    return std::lround(value);
}
