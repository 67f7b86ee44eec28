#include "traffic/traffic_row.h"

#include "base/hex_text.h"
#include "base/number_text.h"
#include "traffic/frame_meaning.h"

#include <cstdlib>
#include <ctime>

namespace {

using namespace std::chrono;

int64_t wallMsAt(Clock::TimePoint t, system_clock::time_point wallNow, Clock::TimePoint lineNow) {
    const auto wall = wallNow - duration_cast<system_clock::duration>(lineNow - t);
    return duration_cast<milliseconds>(wall.time_since_epoch()).count();
}

std::string padded(long long value, int width) {
    std::string text = formatWhole(value);
    return std::string(std::size_t(std::max(0, width - int(text.size()))), '0') + text;
}

struct LocalTime {
    std::tm tm{};
    int ms = 0;
};

LocalTime localTime(int64_t wallMs) {
    LocalTime t;
    // Floor division, so a time before 1970 still splits into seconds and ms.
    const time_t seconds = time_t(wallMs >= 0 ? wallMs / 1000 : (wallMs - 999) / 1000);
    t.ms = int(wallMs - int64_t(seconds) * 1000);
    localtime_r(&seconds, &t.tm);
    return t;
}

std::string hms(const LocalTime& t) {
    return padded(t.tm.tm_hour, 2) + ":" + padded(t.tm.tm_min, 2) + ":" + padded(t.tm.tm_sec, 2) +
           "." + padded(t.ms, 3);
}

TrafficRow requestRow(Scale scale, const FrameRecord& r, system_clock::time_point wallNow,
                      Clock::TimePoint lineNow) {
    TrafficRow request;
    request.wallMs = wallMsAt(r.sent, wallNow, lineNow);
    request.tx = true;
    request.bytes.assign(r.request.begin(), r.request.end());
    request.attempt = r.attempt;
    request.meaning = requestMeaning(scale, r.request);
    return request;
}

} // namespace

std::vector<TrafficRow> rowsOf(Scale scale, const FrameRecord& r, system_clock::time_point wallNow,
                               Clock::TimePoint lineNow) {
    const Verdict verdict = verdictOf(r);
    TrafficRow request = requestRow(scale, r, wallNow, lineNow);
    request.verdict = verdict;

    TrafficRow reply;
    reply.wallMs = wallMsAt(r.replyEnd, wallNow, lineNow);
    reply.tx = false;
    reply.bytes = r.reply;
    reply.verdict = verdict;
    reply.attempt = r.attempt;
    reply.roundTripMs = duration<double, std::milli>(r.replyEnd - r.sent).count();
    reply.meaning = exchangeMeaning(scale, r);
    return {std::move(request), std::move(reply)};
}

std::vector<TrafficRow> rowsOf(Scale scale, const FrameRecord& record) {
    return rowsOf(scale, record, system_clock::now(), lineClock().now());
}

TrafficRow sentRowOf(Scale scale, const FrameRecord& record) {
    TrafficRow row = requestRow(scale, record, system_clock::now(), lineClock().now());
    row.unjudged = true;
    return row;
}

TrafficRow reconnectedRow() {
    TrafficRow row;
    row.wallMs = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
    row.tx = false;
    row.meaning = "reconnected by itself: the device came back and the controller answers";
    return row;
}

std::string hexText(const std::vector<uint8_t>& bytes) {
    return hexBytes(bytes);
}

std::string isoLocalTime(int64_t wallMs) {
    const LocalTime t = localTime(wallMs);
    const long offset = t.tm.tm_gmtoff / 60;
    return padded(t.tm.tm_year + 1900, 4) + "-" + padded(t.tm.tm_mon + 1, 2) + "-" +
           padded(t.tm.tm_mday, 2) + "T" + hms(t) + (offset < 0 ? "-" : "+") +
           padded(std::labs(offset) / 60, 2) + ":" + padded(std::labs(offset) % 60, 2);
}

std::string clockTime(int64_t wallMs) {
    return hms(localTime(wallMs));
}
