#include "base/time_text.h"

#include <algorithm>
#include <chrono>
#include <ctime>

namespace {
std::tm localTime(std::time_t t) {
    std::tm tm{};
    localtime_r(&t, &tm);
    return tm;
}
std::tm localNow() {
    return localTime(std::time(nullptr));
}
std::string clockText(const std::tm& tm) {
    char buf[16];
    std::strftime(buf, sizeof buf, "%H:%M:%S", &tm);
    return buf;
}
} // namespace

std::string TimeStr() {
    return clockText(localNow());
}

std::string timeStrAgo(double seconds) {
    using namespace std::chrono;
    const auto then = system_clock::now() - duration_cast<system_clock::duration>(
                                                duration<double>(std::max(seconds, 0.0)));
    return clockText(localTime(system_clock::to_time_t(then)));
}

std::string localTimeText(double wall, const char* format) {
    const std::tm tm = localTime(std::time_t(wall));
    char text[64];
    if (std::strftime(text, sizeof text, format, &tm) == 0) return "";
    return text;
}

std::string clockTextAt(double wall) {
    return clockText(localTime(std::time_t(wall)));
}

std::string dayClockText(double wall, double now, const char* format) {
    const std::tm at = localTime(std::time_t(wall));
    std::tm day = localTime(std::time_t(now));
    const std::string clock = localTimeText(wall, format);
    const std::string date = localTimeText(wall, "%Y-%m-%d");
    const auto same = [&](const std::tm& d) {
        return d.tm_year == at.tm_year && d.tm_yday == at.tm_yday;
    };
    if (same(day)) return clock + " today";
    day.tm_mday += 1;
    day.tm_isdst = -1;
    const std::time_t next = std::mktime(&day);
    if (same(localTime(next))) return clock + " tomorrow (" + date + ")";
    return clock + " on " + date;
}

std::string localIsoText(double wall) {
    const std::string iso = localTimeText(wall, "%Y-%m-%dT%H:%M:%S%z");
    if (iso.size() < 5) return iso;
    // "+0100" as "+01:00", built anew: GCC 12 warns of an overlap that an
    // insert() here cannot have.
    const std::size_t cut = iso.size() - 2;
    return iso.substr(0, cut) + ":" + iso.substr(cut);
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
