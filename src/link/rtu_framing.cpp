#include "link/rtu_framing.h"

#include "link/reply_judge.h"
#include "link/retry_policy.h"
#include "serial/serial_service.h"

#include <algorithm>
#include <vector>

namespace {

void readFrame(ComPort& port, ExchangeResult& r, int expected) {
    const auto deadline = lineClock().now() + port.timeout();
    r.count = ComRdUntil(port, r.bytes, 5, deadline);
    // An exception reply is complete at 5 bytes; waiting for more would only
    // cost the whole time-out.
    if (r.count < 5 || isExceptionFrame(r.bytes, r.count)) return;
    r.count += ComRdUntil(port, r.bytes + 5, expected - 5, deadline);
}

// On a serial line answers keep their order: when a late answer to an
// earlier request comes in ahead of ours, ours is whatever ends the burst.
// So everything is read until the line falls quiet, and the reply is the
// frame at its end; a burst that ends in no whole frame is unusable. Only
// the same request as ours can still be awaited here, so any whole reply
// in the burst answers it. Returns the bytes dropped ahead of the reply.
int takeLastFrame(ComPort& port, ExchangeResult& r, int expected, AwaitedReplies& awaited) {
    uint8_t burst[2 * kMaxReply];
    int count = r.count;
    std::copy(r.bytes, r.bytes + r.count, burst);
    while (count < int(sizeof burst)) {
        const int more = ComRdUntil(port, burst + count, 1, secondsFromNow(retry::kQuietGap));
        if (more == 0) break;
        count += more;
    }
    awaited.settle(burst, count);
    if (count == r.count) return 0;
    for (int length : {expected, 5}) {
        if (count < length) continue;
        const uint8_t* last = burst + count - length;
        if (!isWholeFrame(last, length, expected)) continue;
        std::fill(std::begin(r.bytes), std::end(r.bytes), 0);
        std::copy(last, last + length, r.bytes);
        r.count = length;
        return count - length;
    }
    // Counted past any length a caller accepts, so no caller takes it.
    r.count = std::min(count, kMaxReply);
    std::copy(burst, burst + r.count, r.bytes);
    return count - r.count;
}

// Before a request different from those still awaited: the line is read
// and what comes is dropped, until each awaited request has had a whole
// reply, or until the newest one's reply can no longer begin and the line
// has fallen quiet. Returns the bytes dropped.
int drainLine(ComPort& port, AwaitedReplies& awaited) {
    const Clock::TimePoint giveUp = awaited.deadline(retry::kDrainOverrun);
    std::vector<uint8_t> drained;
    int settled = 0;
    while (!awaited.empty() && !comLost(port)) {
        if (lineClock().now() >= giveUp) break;
        uint8_t byte = 0;
        const auto quietUntil = std::max(awaited.deadline(), secondsFromNow(retry::kQuietGap));
        if (ComRdUntil(port, &byte, 1, std::min(quietUntil, giveUp)) == 0) break;
        drained.push_back(byte);
        settled += awaited.settle(drained.data() + settled, int(drained.size()) - settled);
    }
    awaited.clear();
    return int(drained.size());
}

} // namespace

// A serial line never needs a request of its own to be cleared.
int RtuFraming::clearFor(ComPort& port, const Frame& request, const FrameObserver&) {
    if (awaited_.empty() || awaited_.onlyAwaiting(request)) return 0;
    return drainLine(port, awaited_);
}

void RtuFraming::flushReplies(ComPort& port) {
    FlushInQ(port);
    awaited_.flushed(lineClock().now());
}

void RtuFraming::send(ComPort& port, const Frame& request) {
    // Read on for a fresher frame only right after an exchange that went
    // unanswered, whose answer may land ahead of ours. A reply lost for good
    // leaves a run of the same request one reply short until a different
    // request waits it out once; each request of the run is not held up.
    readOn_ = answerMayBeLate_ && !awaited_.empty();
    ComWrt(port, request.data(), int(request.size()));
}

bool RtuFraming::readReply(ComPort& port, const Frame& request, int expected, Clock::TimePoint sent,
                           ExchangeResult& r) {
    readFrame(port, r, expected);
    awaited_.add(request, expected, sent);
    if (readOn_)
        r.lateBytesDiscarded += takeLastFrame(port, r, expected, awaited_);
    else
        awaited_.settle(r.bytes, r.count);
    answerMayBeLate_ = !isWholeFrame(r.bytes, r.count, expected);
    return true;
}
