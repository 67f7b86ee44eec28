#pragma once
// Every frame that crosses a line, told to whoever listens (Line's frame and
// send observers): the traffic monitor and the trace are observers, as are
// tests. With nobody listening the line builds no record at all.
#include "base/clock.h"
#include "link/frames.h"
#include "link/results.h"

#include <functional>
#include <vector>

struct FrameRecord {
    Frame request{};
    std::vector<uint8_t> reply;  // every byte taken as the reply
    Clock::TimePoint sent{};     // when the request was written
    Clock::TimePoint replyEnd{}; // when the read ended
    int attempt = 1;             // 1, or 2 for the retry of a read
    Fault verdict = Fault::noReply;
    uint8_t exceptionCode = 0;
    // Bytes read and dropped for this exchange: late answers to earlier
    // requests, drained before it went out or found ahead of its reply.
    int lateBytesDiscarded = 0;
};

using FrameObserver = std::function<void(const FrameRecord&)>;
