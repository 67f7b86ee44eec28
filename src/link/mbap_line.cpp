#include "link/mbap_line.h"

#include "base/clock.h"
#include "link/mbap.h"
#include "link/reply_judge.h"
#include "serial/serial_service.h"

#include <algorithm>
#include <atomic>

namespace {

// One sequence for every line, so two lines sharing a gateway's connection
// never send the same id close together.
std::atomic<uint16_t> lastTransaction{0};

} // namespace

void MbapStream::follow(int port) {
    if (const uint64_t connection = comConnection(port); connection_ != connection) {
        *this = MbapStream{};
        connection_ = connection;
    }
}

bool mbapLine(int port) {
    return comFraming(port) == LineFraming::mbap;
}

void MbapStream::send(int port, const Frame& request) {
    follow(port);
    awaited_ = ++lastTransaction;
    const std::vector<uint8_t> bytes = mbapRequest(awaited_, request);
    ComWrt(port, bytes.data(), int(bytes.size()));
}

bool MbapStream::readReply(int port, Exchanged& r) {
    follow(port);
    MbapReceiver& rx = receiver_;
    const auto deadline = lineClock().now() + comTimeout(port);
    uint8_t chunk[kMbapHeader + kMbapMaxLength];
    for (;;) {
        if (const int wanted = rx.wanted(); wanted > 0) {
            const int got = ComRdUntil(port, chunk, wanted, deadline);
            rx.take(chunk, got);
            if (got < wanted) break; // the time-out, or the connection went
            continue;
        }
        if (rx.broken()) {
            // Nothing after it can be framed: what is queued goes, and the
            // stream is taken up again at the next frame that arrives alone.
            r.count = rx.rtuFrame(r.bytes);
            rx.clear();
            FlushInQ(port);
            return false;
        }
        if (rx.isModbus() && rx.transaction() == awaited_) {
            r.count = rx.rtuFrame(r.bytes);
            rx.clear();
            // The gateway's own word that the controller behind it gave no
            // answer: silence, not a refusal (the controller sends neither code).
            if (isExceptionFrame(r.bytes, r.count) && (r.bytes[2] == 0x0A || r.bytes[2] == 0x0B)) {
                std::fill_n(r.bytes, r.count, 0);
                r.count = 0;
            }
            return true;
        }
        r.lateBytesDiscarded += rx.size();
        rx.clear();
    }
    // The rest of a frame cut short here is read, and dropped, before the
    // next reply.
    if (!rx.hasTransaction() || rx.transaction() != awaited_) return true;
    r.count = rx.rtuFrame(r.bytes);
    return false;
}
