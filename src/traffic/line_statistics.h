#pragma once
// How the line has done since the connection or since the operator reset
// the count: every exchange is counted, however many rows the panel keeps.
// Noted on the thread that made the exchange, read from any thread.
#include "link/frame_observers.h"

#include <array>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// The upper bounds of the round-trip histogram's buckets, in ms; a last
// bucket holds the round trips beyond the highest.
inline constexpr std::array<double, 9> kRoundTripBoundsMs{5, 10, 20, 50, 100, 200, 500, 1000, 2000};

struct LineCounts {
    int64_t requests = 0; // every request sent, retries included
    int64_t good = 0;
    int64_t retries = 0; // requests that were a second attempt
    int64_t noReplies = 0;
    int64_t crcOrShort = 0;
    int64_t wrongSlave = 0;
    int64_t wrongFunction = 0; // another function, or an answer to another request
    int64_t exceptions = 0;
    int64_t lateBytesDiscarded = 0; // bytes of late answers read and dropped
    int64_t lineLost = 0;
    int64_t replies = 0; // exchanges with any byte back: the round trips averaged
    double roundTripSumMs = 0;
    double worstRoundTripMs = 0;
    // The round trips by the bucket they fall in (not summed up): bucket i
    // holds those above bound i-1 and at most bound i; the last, the rest.
    // Their total is `replies`, their sum roundTripSumMs.
    std::array<int64_t, kRoundTripBoundsMs.size() + 1> roundTripBuckets{};
    std::optional<Clock::TimePoint> lastFailure;

    // Percent of requests with a good reply; 100 with no request yet.
    double successRate() const;
    double meanRoundTripMs() const;
};

class LineStatistics {
  public:
    void note(const FrameRecord& record);
    void reset();
    LineCounts counts() const;

  private:
    mutable std::mutex mutex_;
    LineCounts counts_;
};

// "99.8 % good, last failure 12 s ago" for the main panel.
std::string healthText(const LineCounts& counts, Clock::TimePoint now);
// The counts as (name, value) lines for the traffic panel.
std::vector<std::pair<std::string, std::string>> statisticsLines(const LineCounts& counts);
