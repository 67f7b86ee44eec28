#include "traffic/line_statistics.h"

#include "base/number_text.h"
#include "traffic/frame_verdict.h"

#include <algorithm>
#include <chrono>
#include <cmath>

double LineCounts::successRate() const {
    return requests ? 100.0 * double(good) / double(requests) : 100.0;
}

double LineCounts::meanRoundTripMs() const {
    return replies ? roundTripSumMs / double(replies) : 0.0;
}

void LineStatistics::note(const FrameRecord& r) {
    const Verdict v = verdictOf(r);
    const double roundTrip = std::chrono::duration<double, std::milli>(r.replyEnd - r.sent).count();
    std::lock_guard lock(mutex_);
    LineCounts& c = counts_;
    ++c.requests;
    if (r.attempt > 1) ++c.retries;
    c.lateBytesDiscarded += r.lateBytesDiscarded;
    switch (v) {
    case Verdict::good:
    case Verdict::lateBytesDiscarded:
        ++c.good;
        break;
    case Verdict::noReply:
        ++c.noReplies;
        break;
    case Verdict::crcError:
    case Verdict::shortReply:
        ++c.crcOrShort;
        break;
    case Verdict::wrongSlave:
        ++c.wrongSlave;
        break;
    case Verdict::wrongFunction:
    case Verdict::wrongReply:
        ++c.wrongFunction;
        break;
    case Verdict::exception:
        ++c.exceptions;
        break;
    case Verdict::lineLost:
        ++c.lineLost;
        break;
    }
    if (isFailure(v)) c.lastFailure = r.replyEnd;
    if (!r.reply.empty()) {
        ++c.replies;
        c.roundTripSumMs += roundTrip;
        c.worstRoundTripMs = std::max(c.worstRoundTripMs, roundTrip);
        const auto bound =
            std::lower_bound(kRoundTripBoundsMs.begin(), kRoundTripBoundsMs.end(), roundTrip);
        ++c.roundTripBuckets[std::size_t(bound - kRoundTripBoundsMs.begin())];
    }
}

void LineStatistics::reset() {
    std::lock_guard lock(mutex_);
    counts_ = LineCounts{};
}

LineCounts LineStatistics::counts() const {
    std::lock_guard lock(mutex_);
    return counts_;
}

namespace {

// A line with a failure never reads as 100 %, however many good ones came.
std::string percentText(const LineCounts& c) {
    double shown = std::floor(c.successRate() * 10.0) / 10.0;
    if (c.good == c.requests) shown = 100.0;
    return formatFixed(shown, 1) + " %";
}

std::string agoText(Clock::TimePoint then, Clock::TimePoint now) {
    const auto s = std::chrono::duration_cast<std::chrono::seconds>(now - then).count();
    if (s < 120) return formatWhole(std::max<long long>(s, 0)) + " s ago";
    if (s < 7200) return formatWhole(s / 60) + " min ago";
    return formatWhole(s / 3600) + " h ago";
}

} // namespace

std::string healthText(const LineCounts& c, Clock::TimePoint now) {
    if (c.requests == 0) return "no traffic yet";
    const std::string failure =
        c.lastFailure ? "last failure " + agoText(*c.lastFailure, now) : "no failure";
    return percentText(c) + " good, " + failure;
}

std::vector<std::pair<std::string, std::string>> statisticsLines(const LineCounts& c) {
    const auto n = [](int64_t v) { return formatWhole(v); };
    const auto ms = [](double v) { return formatFixed(v, 1) + " ms"; };
    return {{"Requests", n(c.requests)},
            {"Good replies", n(c.good)},
            {"Retries", n(c.retries)},
            {"No replies", n(c.noReplies)},
            {"CRC or short", n(c.crcOrShort)},
            {"Wrong slave", n(c.wrongSlave)},
            {"Wrong function", n(c.wrongFunction)},
            {"Exceptions", n(c.exceptions)},
            {"Late bytes discarded", n(c.lateBytesDiscarded)},
            {"Line lost", n(c.lineLost)},
            {"Success rate", percentText(c)},
            {"Round trip, mean", ms(c.meanRoundTripMs())},
            {"Round trip, worst", ms(c.worstRoundTripMs)}};
}
