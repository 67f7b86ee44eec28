#include "link/transaction.h"

#include "link/crc.h"
#include "link/link_state.h"
#include "runtime/serial_service.h"

#include <algorithm>

bool Reply::isException() const {
    return count == 5 && (bytes[1] & 0x80) && crcMatches(bytes, 5);
}

bool Reply::complete(int expected) const {
    return count == expected && crcMatches(bytes, std::size_t(count));
}

Reply exchangeCompleted(const Frame& frame, int minLength) {
    const int port = gLink.comPort;
    // Whatever is still queued (a reply that came after its time-out, line
    // noise) belongs to no request of ours; it must not be read as this reply.
    FlushInQ(port);
    ComWrt(port, frame.data(), int(frame.size()));
    Delay(0.03);

    Reply reply;
    const int expected = std::clamp(std::max(impliedReplyLength(frame), minLength), 5, kMaxReply);
    const auto deadline = std::chrono::steady_clock::now() + comTimeout(port);
    reply.count = ComRdUntil(port, reply.bytes, 5, deadline);
    // An exception reply is complete at 5 bytes; waiting for more would only
    // cost the whole time-out.
    if (reply.count < 5 || reply.isException()) return reply;
    reply.count += ComRdUntil(port, reply.bytes + 5, expected - 5, deadline);
    return reply;
}

Reply exchange(Frame& frame, uint16_t slaveId, int minLength) {
    completeRequest(frame, slaveId);
    return exchangeCompleted(frame, minLength);
}

Reply exchangeWrite(Frame& frame, uint16_t slaveId, int16_t value) {
    completeWrite(frame, slaveId, value);
    return exchangeCompleted(frame, 0);
}

void preparation(double settleSeconds) {
    FlushOutQ(gLink.comPort);
    FlushInQ(gLink.comPort);
    Delay(settleSeconds);
}

BusyGuard::BusyGuard() {
    for (;;) {
        int32_t idle = 0;
        if (gTx.comBusy.compare_exchange_strong(idle, 1)) return;
        Delay(0.01);
    }
}

BusyGuard::~BusyGuard() { release(); }

void BusyGuard::release() {
    if (!held_) return;
    held_ = false;
    gTx.comBusy = 0;
}

std::optional<int16_t> validatedRead(const Frame& requestTemplate, uint16_t slaveId) {
    BusyGuard guard;
    preparation(0.03);
    for (int attempt = 1; attempt <= kValidatedReadAttempts; ++attempt) {
        Frame frame = requestTemplate;
        const Reply reply = exchange(frame, slaveId, 7);
        ModbusCalcCRC(reply.bytes, 5);
        if (reply.count == 7 && reply.bytes[5] == gTx.CRCbuf[0] &&
            reply.bytes[6] == gTx.CRCbuf[1]) {
            guard.release();
            return signedWord(reply.bytes[3], reply.bytes[4]);
        }
        if (attempt == kValidatedReadAttempts) break;
        FlushOutQ(gLink.comPort);
        FlushInQ(gLink.comPort);
        Delay(0.03);
    }
    return std::nullopt;
}
