#include "link/transaction.h"

#include "link/crc.h"
#include "link/line_events.h"
#include "link/link_state.h"
#include "link/reply_checks.h"
#include "runtime/clock.h"
#include "runtime/ids/main_panel.h"
#include "runtime/panel_handles.h"
#include "runtime/panel_service.h"
#include "runtime/serial_service.h"

#include <algorithm>
#include <string>

bool Reply::isException() const {
    return isExceptionFrame(bytes, count);
}

bool Reply::complete(int expected) const {
    return count == expected && crcMatches(bytes, std::size_t(count));
}

namespace {

// How long to listen after a reply for a second one when the exchange before
// ended without its answer. Far longer than the controller's turnaround,
// short enough to cost nothing noticeable on the rare exchange that pays it.
constexpr double kSecondReplyWindow = 0.05;

// The last exchange got no whole answer: that answer may still be on its way
// and land inside the next exchange's read, ahead of the reply it is waiting for.
bool gAnswerMayBeLate = false;

Reply readReply(int port, int expected) {
    Reply reply;
    const auto deadline = lineClock().now() + comTimeout(port);
    reply.count = ComRdUntil(port, reply.bytes, 5, deadline);
    // An exception reply is complete at 5 bytes; waiting for more would only
    // cost the whole time-out.
    if (reply.count < 5 || reply.isException()) return reply;
    reply.count += ComRdUntil(port, reply.bytes + 5, expected - 5, deadline);
    return reply;
}

// On a serial line answers keep their order: when a late answer to an
// earlier request comes in ahead of ours, ours is whatever ends the burst.
// So everything is read until the line falls quiet, and the reply is the
// frame at its end; a burst that ends in no whole frame is unusable.
Reply takeLastFrame(int port, const Reply& first, int expected) {
    uint8_t burst[2 * kMaxReply];
    int count = first.count;
    std::copy(first.bytes, first.bytes + first.count, burst);
    while (count < int(sizeof burst)) {
        const int more = ComRdUntil(port, burst + count, 1, secondsFromNow(kSecondReplyWindow));
        if (more == 0) break;
        count += more;
    }
    if (count == first.count) return first;
    Reply last;
    for (int length : {expected, 5}) {
        if (count < length) continue;
        std::copy(burst + count - length, burst + count, last.bytes);
        last.count = length;
        if (last.complete(expected) || last.isException()) return last;
    }
    // Counted past any length a caller accepts, so no caller takes it.
    Reply unusable = first;
    unusable.count = std::min(count, kMaxReply);
    return unusable;
}

// The device is gone (unplugged): the port is closed so that it can be
// opened afresh, and the operator hears of it once. The message does not
// wait for an answer: the line may come back, and reconnecting must not
// depend on a click.
void lineLost(int port) {
    CloseCom(port);
    if (!gLink.linkUp) return;
    gLink.linkUp = 0;
    gLink.portStatus = -1;
    SetCtrlVal(gPanels.main, MainPanel::connectionLed, 0);
    NoticePopup("Connection Lost",
                "COM" + std::to_string(port) +
                    " has gone away: the serial adapter was unplugged or failed.\nPlug it in "
                    "again: the program reconnects when the adapter is back under its name. Or "
                    "select the COM port again to reconnect.");
    reportLineEvent(LineEvent::lost, port);
}

} // namespace

void forgetLateAnswer() { gAnswerMayBeLate = false; }

Reply exchangeCompleted(const Frame& frame, int minLength) {
    const int port = gLink.comPort;
    // Whatever is still queued (a reply that came after its time-out, line
    // noise) belongs to no request of ours; it must not be read as this reply.
    FlushInQ(port);
    ComWrt(port, frame.data(), int(frame.size()));
    Delay(0.03);

    const int expected = std::clamp(std::max(impliedReplyLength(frame), minLength), 5, kMaxReply);
    Reply reply = readReply(port, expected);
    if (gAnswerMayBeLate) reply = takeLastFrame(port, reply, expected);
    gAnswerMayBeLate = !(reply.complete(expected) || reply.isException());
    if (comLost(port)) lineLost(port);
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

BusyGuard::~BusyGuard() {
    release();
}

void BusyGuard::release() {
    if (!held_) return;
    held_ = false;
    gTx.comBusy = 0;
}

std::optional<int16_t> validatedRead(const Frame& requestTemplate, uint16_t slaveId) {
    BusyGuard guard;
    preparation(0.03);
    int silentInARow = 0;
    for (int attempt = 1; attempt <= kValidatedReadAttempts; ++attempt) {
        Frame frame = requestTemplate;
        const Reply reply = exchange(frame, slaveId, 7);
        ModbusCalcCRC(reply.bytes, 5);
        if (const auto value = singleRegisterValue(reply.bytes, reply.count, slaveId)) {
            guard.release();
            return value;
        }
        // A damaged reply is worth asking again; a controller that has said
        // nothing twice running has gone quiet, and every further second of
        // waiting keeps the operator from seeing that the value is stale.
        silentInARow = reply.count == 0 ? silentInARow + 1 : 0;
        if (attempt == kValidatedReadAttempts || silentInARow == kSilentAttemptsToGiveUp) break;
        FlushOutQ(gLink.comPort);
        FlushInQ(gLink.comPort);
        Delay(0.03);
    }
    return std::nullopt;
}
