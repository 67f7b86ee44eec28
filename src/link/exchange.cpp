#include "link/line.h"

#include "base/clock.h"
#include "link/mbap_line.h"
#include "link/reply_judge.h"
#include "link/retry_policy.h"
#include "serial/serial_service.h"

#include <algorithm>
#include <vector>

namespace {

void readReply(int port, Exchanged& r, int expected) {
    const auto deadline = lineClock().now() + comTimeout(port);
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
int takeLastFrame(int port, Exchanged& r, int expected, AwaitedReplies& awaited) {
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
int drainLine(int port, AwaitedReplies& awaited) {
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

Outcome Exchanged::outcome() const {
    Outcome o;
    o.fault = verdict;
    o.exceptionCode = exceptionCode;
    if (verdict == Fault::none && bytes[1] != kFnWriteSingle) o.words = replyWords(bytes);
    return o;
}

void Line::flushReplies() {
    const int port = comPort_;
    // Modbus TCP passes stale replies over by their transaction id; raw
    // discarding could cut a frame and lose the stream's framing.
    if (!mbapLine(port)) FlushInQ(port);
    awaited_.flushed(lineClock().now());
}

Exchanged Line::exchange(const Frame& request, int replyLength, FlushFirst flush, int attempt) {
    const int port = comPort_;
    const int expected = std::clamp(replyLength, 5, kMaxReply);
    AwaitedReplies& awaited = awaited_;
    Exchanged r;
    // Modbus TCP: a late answer waits on the gateway's serial side, not on
    // our stream; the gateway's stream keeps those (mbap_line.h).
    const bool mbap = mbapLine(port);
    if (mbap) {
        awaited.clear();
        r.lateBytesDiscarded = mbap_.clearFor(port, request, [this](const FrameRecord& asked) {
            if (sends_.any()) sends_.report(asked);
            if (frames_.any()) frames_.report(asked);
        });
    } else if (!awaited.empty() && !awaited.onlyAwaiting(request)) {
        r.lateBytesDiscarded = drainLine(port, awaited);
    }
    if (flush == FlushFirst::yes) flushReplies();
    // Read on for a fresher frame only right after an exchange that went
    // unanswered, whose answer may land ahead of ours. A reply lost for good
    // leaves a run of the same request one reply short until a different
    // request waits it out once; each request of the run is not held up.
    const bool mayBeLate = answerMayBeLate_ && !awaited.empty();

    FrameRecord record;
    record.request = request;
    record.sent = lineClock().now();
    record.attempt = attempt;
    // Before the bytes leave: a frame on the wire always has its record.
    if (sends_.any()) sends_.report(record);
    if (mbap)
        mbap_.send(port, request);
    else
        ComWrt(port, request.data(), int(request.size()));
    Delay(retry::kRequestPause);

    bool broken = false;
    if (mbap) {
        broken = mbap_.readReply(port, request, expected, record.sent, r) == GatewayRead::broken;
    } else {
        readReply(port, r, expected);
        awaited.add(request, expected, record.sent);
        if (mayBeLate)
            r.lateBytesDiscarded += takeLastFrame(port, r, expected, awaited);
        else
            awaited.settle(r.bytes, r.count);
        answerMayBeLate_ = !isWholeFrame(r.bytes, r.count, expected);
    }
    // A stream that lost its framing is taken up on a new connection, so
    // that no rest of it is read as the start of the next reply.
    const bool lost = comLost(port) || (broken && ComReopen(port) < 0);
    r.reconnected = broken && !lost;
    r.verdict = lost     ? Fault::lineLost
                : broken ? Fault::damaged
                         : judgeReply(request, r.bytes, r.count, expected);
    if (r.verdict == Fault::exception) r.exceptionCode = r.bytes[2];

    if (anyFrameObserver()) {
        record.reply.assign(r.bytes, r.bytes + r.count);
        record.replyEnd = lineClock().now();
        record.verdict = r.verdict;
        record.exceptionCode = r.exceptionCode;
        record.lateBytesDiscarded = r.lateBytesDiscarded;
        frames_.report(record);
    }
    ++exchanges_;
    lateBytesDiscarded_ += uint64_t(r.lateBytesDiscarded);
    if (r.reconnected) ++reconnections_;
    if (lost) noteLost(port);
    return r;
}

// The device is gone (unplugged): the port is closed so that it can be
// opened afresh, and the listeners hear of it once.
void Line::noteLost(int port) {
    CloseCom(port);
    awaited_.clear();
    if (!linkUp_) return;
    linkUp_ = false;
    lineLost_ = true;
    portStatus_ = -1;
    reportLineEvent(LineEvent::lost, port);
}
