#include "link/mbap_line.h"

#include "base/clock.h"
#include "link/mbap.h"
#include "link/reply_judge.h"
#include "serial/serial_service.h"

#include <algorithm>
#include <optional>

namespace {

// Asked to empty a gateway's serial side: a read of PV from 248, the first
// address Modbus keeps back, which no controller on a line can have. What
// the gateway hands back for it can only be an answer owed to another
// request. Its saying that nothing came proves nothing: many gateways
// answer an address they have no route for themselves, at once.
constexpr uint8_t kNobodysAddress = 248;

Frame emptyingRequest() {
    Frame request = readTemplate(reg::pv);
    completeRequest(request, kNobodysAddress);
    return request;
}

// The read a line proves itself clear with on the next request's
// controller: the start of the PID block, which the controller serves in
// one request, with a count that no request still owed an answer uses and
// the next request does not use either, so that its answer is told from
// all of theirs. The counts come first that no request of the program uses.
std::optional<Frame> proofRequest(const AwaitedReplies& owed, const Frame& next) {
    for (const int count : {3, 6, 7, 8, 9, 10, 1, 2, 4, 5, 11}) {
        if (owed.awaitsRead(next[0], count)) continue;
        if (next[1] == kFnReadHolding && impliedReplyLength(next) == 5 + 2 * count) continue;
        Frame request = readTemplate(reg::pidFirst, uint16_t(count));
        completeRequest(request, next[0]);
        return request;
    }
    return std::nullopt;
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

GatewayRead MbapStream::ask(ComPort& port, const Frame& request, const FrameObserver& told,
                            ExchangeResult& r) {
    FrameRecord record;
    record.request = request;
    record.sent = lineClock().now();
    send(port, request);
    const GatewayRead got = readFrame(port, r);
    if (told) {
        record.reply.assign(r.bytes, r.bytes + r.count);
        record.replyEnd = lineClock().now();
        record.verdict = got == GatewayRead::broken
                             ? Fault::damaged
                             : judgeReply(request, r.bytes, r.count, impliedReplyLength(request));
        told(record);
    }
    return got;
}

// The gateway hands out what it holds in order: each frame it hands back
// is the answer of the oldest request still owed one.
int MbapStream::clearFor(ComPort& port, const Frame& request, const FrameObserver& told) {
    if (owed_.empty() || owed_.onlyAwaiting(request)) return 0;
    // Until then an owed answer may still be on its way to the gateway.
    lineClock().sleepUntil(owed_.deadline());
    int dropped = 0;
    // A gateway that passes 248 on to its serial side is emptied by it:
    // each asking takes at most one answer out, and one more than are owed
    // hears the gateway say nothing came, unless another master's traffic
    // keeps it busy, which is then not waited on for ever.
    const Frame empty = emptyingRequest();
    for (int i = owed_.size() + 2; i > 0; --i) {
        ExchangeResult r;
        const GatewayRead got = ask(port, empty, told, r);
        dropped += r.lateBytesDiscarded + r.count;
        if (got != GatewayRead::reply || comLost(port)) break;
        owed_.dropOldest();
    }
    // Then the line proves itself on the controller asked next, while an
    // answer still owed could be taken for this request's: a read whose
    // answer is told from every owed one is asked until its own answer
    // comes back, or the gateway says nothing came (it held nothing, so
    // only that read's answer may still be owed). A gateway that hands out
    // each answer to the request after its own stays one behind; its last
    // answer owed is then that read's, which this request cannot take.
    for (int i = owed_.size() + 2; i > 0 && owed_.mistakableFor(request) && !comLost(port); --i) {
        const std::optional<Frame> proof = proofRequest(owed_, request);
        if (!proof) break;
        const int length = impliedReplyLength(*proof);
        owed_.add(*proof, length, lineClock().now());
        ExchangeResult r;
        const GatewayRead got = ask(port, *proof, told, r);
        dropped += r.lateBytesDiscarded;
        if (got == GatewayRead::noAnswer) {
            owed_.keepNewest();
            continue;
        }
        dropped += r.count;
        if (got == GatewayRead::broken) {
            owed_.dropOldest();
            if (ComReopen(port) < 0) break;
            continue;
        }
        if (judgeReply(*proof, r.bytes, r.count, length) == Fault::none) {
            owed_.clear();
            break;
        }
        owed_.dropOldest();
    }
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
    // No answer still owed is one this request would take for its own.
    const bool ownIfGood = !owed_.awaits(request) && !owed_.mistakableFor(request);
    owed_.add(request, expected, sent);
    if (got == GatewayRead::noAnswer) return;
    if (got == GatewayRead::broken) {
        // Our own answer, spoilt between the gateway and us, when nothing
        // was owed; otherwise one of those that were.
        owed_.dropOldest();
        return;
    }
    const Fault verdict = judgeReply(request, r.bytes, r.count, expected);
    // This request's own answer came out, so none owed before it is left.
    if (verdict == Fault::none && ownIfGood) {
        owed_.clear();
        return;
    }
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
