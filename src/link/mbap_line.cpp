#include "link/mbap_line.h"

#include "base/clock.h"
#include "link/mbap.h"
#include "link/reply_judge.h"
#include "serial/serial_service.h"

#include <algorithm>

namespace {

// Asked to empty a gateway's serial side: a read of PV from 248, the first
// address Modbus keeps back, which no controller on a line can have. What
// the gateway hands back for it can only be an answer owed to another
// request; its saying that nothing came means nothing more is there.
constexpr uint8_t kNobodysAddress = 248;

Frame emptyingRequest() {
    Frame request = readTemplate(reg::pv);
    completeRequest(request, kNobodysAddress);
    return request;
}

} // namespace

void MbapStream::follow(ComPort& port) {
    if (const uint64_t connection = port.connection(); connection_ != connection) {
        receiver_ = MbapReceiver{};
        awaited_ = 0;
        connection_ = connection;
    }
}

void MbapStream::send(ComPort& port, const Frame& request) {
    follow(port);
    // The port's sequence, not the line's: two lines sharing a gateway's
    // connection never send the same id close together.
    awaited_ = port.nextTransaction();
    const std::vector<uint8_t> bytes = mbapRequest(awaited_, request);
    ComWrt(port, bytes.data(), int(bytes.size()));
}

int MbapStream::clearFor(ComPort& port, const Frame& request, const FrameObserver& told) {
    if (owed_.empty() || owed_.onlyAwaiting(request)) return 0;
    // Until then an owed answer may still be on its way to the gateway.
    lineClock().sleepUntil(owed_.deadline());
    int dropped = 0;
    // Each asking takes at most one answer out; one more than are owed
    // hears the gateway say nothing came, unless another master's traffic
    // keeps it busy, which is then not waited on for ever.
    const Frame ask = emptyingRequest();
    for (int i = owed_.size() + 2; i > 0; --i) {
        FrameRecord record;
        record.request = ask;
        record.sent = lineClock().now();
        send(port, ask);
        ExchangeResult r;
        const GatewayRead got = readFrame(port, r);
        dropped += r.lateBytesDiscarded + r.count;
        if (told) {
            record.reply.assign(r.bytes, r.bytes + r.count);
            record.replyEnd = lineClock().now();
            record.verdict =
                got == GatewayRead::broken ? Fault::damaged : judgeReply(ask, r.bytes, r.count, 7);
            told(record);
        }
        if (got != GatewayRead::reply || comLost(port)) break;
    }
    owed_.clear();
    return dropped;
}

bool MbapStream::readReply(ComPort& port, const Frame& request, int expected, Clock::TimePoint sent,
                           ExchangeResult& r) {
    const GatewayRead got = readFrame(port, r);
    noteOwed(request, expected, sent, got, r);
    return got != GatewayRead::broken;
}

// Whatever the gateway hands back took one frame off its serial side. A
// good answer or a refusal took the oldest owed one, or this request's own;
// either leaves this request's answer owed only while older ones were.
// Anything else leaves this request's answer owed.
void MbapStream::noteOwed(const Frame& request, int expected, Clock::TimePoint sent,
                          GatewayRead got, const ExchangeResult& r) {
    const bool wasClean = owed_.empty();
    owed_.add(request, expected, sent);
    if (got == GatewayRead::noAnswer) return;
    if (got == GatewayRead::broken) {
        // Our own answer, spoilt between the gateway and us, when nothing
        // was owed; otherwise one of those that were.
        owed_.dropOldest();
        return;
    }
    const Fault verdict = judgeReply(request, r.bytes, r.count, expected);
    if (verdict == Fault::none || verdict == Fault::exception) {
        owed_.dropOldest();
        return;
    }
    // A whole frame that answers something else: an owed answer came out,
    // and ours is now owed in its place.
    if (!wasClean) owed_.dropOldest();
}

GatewayRead MbapStream::readFrame(ComPort& port, ExchangeResult& r) {
    follow(port);
    MbapReceiver& rx = receiver_;
    const auto deadline = lineClock().now() + port.timeout();
    uint8_t chunk[kMbapHeader + kMbapMaxLength];
    for (;;) {
        if (const int wanted = rx.wanted(); wanted > 0) {
            const int got = ComRdUntil(port, chunk, wanted, deadline);
            rx.take(chunk, got);
            if (got < wanted) break; // the time-out, or the connection went
            continue;
        }
        if (rx.broken() || !rx.lengthHolds()) {
            // Nothing after it can be framed: what came goes, and the line
            // takes a new connection.
            r.count = rx.rtuFrame(r.bytes);
            rx.clear();
            return GatewayRead::broken;
        }
        if (rx.isModbus() && rx.transaction() == awaited_) {
            r.count = rx.rtuFrame(r.bytes);
            rx.clear();
            // The gateway's own word that the controller behind it gave no
            // answer: silence, not a refusal (the controller sends neither code).
            if (isExceptionFrame(r.bytes, r.count) && (r.bytes[2] == 0x0A || r.bytes[2] == 0x0B)) {
                std::fill_n(r.bytes, r.count, 0);
                r.count = 0;
                return GatewayRead::noAnswer;
            }
            return GatewayRead::reply;
        }
        r.lateBytesDiscarded += rx.size();
        rx.clear();
    }
    if (!rx.started()) return GatewayRead::noAnswer;
    // A frame begun and not finished: the rest may never come, or what
    // comes may be the next frame's. What came of it goes.
    if (rx.hasTransaction() && rx.transaction() == awaited_)
        r.count = rx.rtuFrame(r.bytes);
    else
        r.lateBytesDiscarded += rx.size();
    rx.clear();
    return GatewayRead::broken;
}
