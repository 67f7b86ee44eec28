#pragma once
// Every frame that crosses the session, told to whoever listens: the traffic
// monitor and the trace are observers, as are tests. With nobody listening
// the session builds no record at all.
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

// Returns a handle for removeFrameObserver. Observers run on the thread that
// made the exchange, right after it; they must not wait on the line.
int addFrameObserver(FrameObserver observer);
void removeFrameObserver(int handle);
// Whether a frame or send observer listens.
bool anyFrameObserver();
void reportFrame(const FrameRecord& record);

// Told as a request goes out, before its reply is read, so that its record
// outlives a program stopped in the middle of the exchange: the record
// holds the request, when it was sent and the attempt.
int addSendObserver(FrameObserver observer);
void removeSendObserver(int handle);
void reportSend(const FrameRecord& record);
