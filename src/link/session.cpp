#include "link/session.h"

#include "link/crc.h"
#include "link/exchange.h"
#include "link/line_events.h"
#include "link/probe_request.h"
#include "link/session_state.h"
#include "serial/serial_service.h"

namespace {

SessionState gState;
ControllerSession gSession;

constexpr uint8_t kModelAt = '@';

} // namespace

SessionState& sessionState() {
    return gState;
}
ControllerSession& session() {
    return gSession;
}

uint16_t ControllerSession::controllerId() const {
    return gState.controllerId;
}
uint16_t ControllerSession::comPort() const {
    return gState.comPort;
}
int32_t ControllerSession::baudRate() const {
    return gState.baudRate;
}
int32_t ControllerSession::parity() const {
    return gState.parity;
}
int32_t ControllerSession::stopBits() const {
    return gState.stopBits;
}
bool ControllerSession::linkUp() const {
    return gState.linkUp;
}
bool ControllerSession::silent() const {
    return gState.silent;
}
std::optional<Clock::TimePoint> ControllerSession::lastReply() const {
    const int64_t ticks = gState.lastReplyTicks;
    if (ticks == 0) return std::nullopt;
    return Clock::TimePoint(Clock::TimePoint::duration(ticks));
}
bool ControllerSession::lineLost() const {
    return gState.lineLost;
}
int32_t ControllerSession::portStatus() const {
    return gState.portStatus;
}
uint16_t ControllerSession::controllerVariant() const {
    return gState.controllerVariant;
}
bool ControllerSession::busy() const {
    return gState.comBusy != 0;
}
std::array<uint8_t, 8> ControllerSession::writeEcho() const {
    return gState.writeEcho;
}

void ControllerSession::setControllerId(uint16_t id) {
    gState.controllerId = id;
}
void ControllerSession::setComPort(uint16_t port) {
    // A reply awaited on another line never comes on this one.
    if (port != gState.comPort) gState.awaited.clear();
    gState.comPort = port;
}
void ControllerSession::setBaudRate(int32_t baud) {
    gState.baudRate = baud;
}
void ControllerSession::setCharacterFrame(int32_t parity, int32_t stopBits) {
    gState.parity = parity;
    gState.stopBits = stopBits;
}

int32_t ControllerSession::openPort() {
    const int port = gState.comPort;
    gState.portStatus = OpenComConfig(port, "", gState.baudRate, gState.parity, 8, gState.stopBits,
                                     255, 255);
    Delay(0.05);
    if (gState.portStatus < 0) {
        // The session's port is not open, whatever was open before.
        if (gState.linkUp) {
            gState.linkUp = false;
            reportLineEvent(LineEvent::disconnected, port);
        }
        return gState.portStatus;
    }
    gState.lineLost = false;
    SetXMode(port, 0);
    SetCTSMode(port, 0);
    gState.linkUp = true;
    SetComTime(port, 1.0);
    return gState.portStatus;
}

ProbeResult ControllerSession::probe() {
    preparation(0.03);
    const ProbeResult result = probeRequest(gState.controllerId);
    if (result.answered) {
        gState.controllerVariant = result.modelCode == kModelAt ? 1 : 2;
        reportLineEvent(LineEvent::connected, gState.comPort);
        return result;
    }
    gState.portStatus = -1;
    gState.linkUp = false;
    reportLineEvent(LineEvent::disconnected, gState.comPort);
    return result;
}

void ControllerSession::closePort() {
    if (!gState.linkUp) return;
    CloseCom(gState.comPort);
    gState.linkUp = false;
    reportLineEvent(LineEvent::disconnected, gState.comPort);
}

void ControllerSession::reset() {
    gState.controllerId = 1;
    gState.comPort = 0;
    gState.baudRate = 19200;
    gState.parity = 0;
    gState.stopBits = 2;
    gState.linkUp = false;
    gState.lineLost = false;
    gState.portStatus = 0;
    gState.controllerVariant = 0;
    gState.comBusy = 0;
    gState.writeEcho = {};
    gState.awaited.clear();
    gState.answerMayBeLate = false;
    gState.silence = {};
    gState.silent = false;
    gState.lastReplyTicks = 0;
    gState.visiting = false;
    gState.visitedId = 0;
}

void preparation(double settleSeconds) {
    FlushOutQ(gState.comPort);
    flushReplies(gState.comPort);
    Delay(settleSeconds);
}

void linePause(double seconds) {
    Delay(seconds);
}

BusyGuard::BusyGuard() {
    for (;;) {
        int32_t idle = 0;
        if (gState.comBusy.compare_exchange_strong(idle, 1)) return;
        Delay(0.01);
    }
}

BusyGuard::~BusyGuard() {
    release();
}

void BusyGuard::release() {
    if (!held_) return;
    held_ = false;
    gState.comBusy = 0;
}
