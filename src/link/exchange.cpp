#include "link/line.h"

#include "base/clock.h"
#include "link/reply_judge.h"
#include "link/retry_policy.h"
#include "serial/serial_service.h"

#include <algorithm>

Outcome ExchangeResult::outcome() const {
    Outcome o;
    o.fault = verdict;
    o.exceptionCode = exceptionCode;
    if (verdict == Fault::none && bytes[1] != kFnWriteSingle) o.words = replyWords(bytes);
    return o;
}

void Line::flushReplies() {
    framing_->flushReplies(port_);
}

ExchangeResult Line::exchange(const Frame& request, int replyLength, FlushFirst flush,
                              int attempt) {
    const int port = comPort_;
    const int expected = std::clamp(replyLength, 5, kMaxReply);
    ExchangeResult r;
    r.lateBytesDiscarded = framing_->clearFor(port_, request, [this](const FrameRecord& asked) {
        if (sends_.any()) sends_.report(asked);
        if (frames_.any()) frames_.report(asked);
    });
    if (flush == FlushFirst::yes) flushReplies();

    FrameRecord record;
    record.request = request;
    record.sent = lineClock().now();
    record.attempt = attempt;
    // Before the bytes leave: a frame on the wire always has its record.
    if (sends_.any()) sends_.report(record);
    framing_->send(port_, request);
    Delay(retry::kRequestPause);
    const bool broken = !framing_->readReply(port_, request, expected, record.sent, r);

    // A stream that lost its framing is taken up on a new connection, so
    // that no rest of it is read as the start of the next reply.
    const bool lost = comLost(port_) || (broken && ComReopen(port_) < 0);
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
    CloseCom(port_);
    framing_->inputQuiet();
    if (!linkUp_) return;
    linkUp_ = false;
    lineLost_ = true;
    portStatus_ = -1;
    reportLineEvent(LineEvent::lost, port);
}
