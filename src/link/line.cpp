#include "link/line.h"

#include "link/retry_policy.h"
#include "serial/serial_service.h"

void Line::setComPort(uint16_t port) {
    // A reply awaited on another line never comes on this one.
    if (port != comPort_) framing_->forgetAll();
    comPort_ = port;
}

void Line::setCharacterFrame(int32_t parity, int32_t stopBits) {
    parity_ = parity;
    stopBits_ = stopBits;
}

int32_t Line::open() {
    const int port = comPort_;
    portStatus_ = OpenComConfig(port_, port, "", baudRate_, parity_, 8, stopBits_, 255, 255);
    Delay(retry::kOpenPause);
    if (portStatus_ < 0) {
        // The line's port is not open, whatever was open before.
        if (linkUp_) {
            linkUp_ = false;
            reportLineEvent(LineEvent::disconnected, port);
        }
        return portStatus_;
    }
    lineLost_ = false;
    if (const LineFraming framing = port_.framing(); framing != framing_->framing()) {
        takeGuard();
        framing_ = makeLineFraming(framing);
        dropGuard();
    }
    SetXMode(port_, 0);
    SetCTSMode(port_, 0);
    linkUp_ = true;
    SetComTime(port_, retry::kReplyTimeout);
    return portStatus_;
}

void Line::noteProbe(bool answered) {
    if (answered) {
        reportLineEvent(LineEvent::connected, comPort_);
        return;
    }
    portStatus_ = -1;
    linkUp_ = false;
    reportLineEvent(LineEvent::disconnected, comPort_);
}

void Line::close() {
    if (!linkUp_) return;
    CloseCom(port_);
    linkUp_ = false;
    reportLineEvent(LineEvent::disconnected, comPort_);
}

void Line::release() {
    close();
    CloseCom(port_);
}

void Line::reset() {
    CloseCom(port_);
    comPort_ = 0;
    baudRate_ = 19200;
    parity_ = 0;
    stopBits_ = 2;
    linkUp_ = false;
    lineLost_ = false;
    portStatus_ = 0;
    {
        const std::lock_guard lock(guardMutex_);
        guardOwner_ = std::thread::id();
        guardDepth_ = 0;
    }
    guardFree_.notify_all();
    framing_ = makeLineFraming(LineFraming::rtu);
    exchanges_ = lateBytesDiscarded_ = reconnections_ = 0;
    watcher_ = {};
}

void Line::settle(Settle s) {
    if (s.discard) {
        FlushOutQ(port_);
        flushReplies();
    }
    Delay(s.seconds);
}

void Line::takeGuard() {
    const std::thread::id me = std::this_thread::get_id();
    // A transaction inside another one on the same thread.
    if (guardOwner_.load() == me) {
        ++guardDepth_;
        return;
    }
    std::unique_lock lock(guardMutex_);
    ++guardWaiters_;
    guardFree_.wait(lock, [this] { return guardOwner_.load() == std::thread::id(); });
    --guardWaiters_;
    guardOwner_ = me;
    guardDepth_ = 1;
}

void Line::dropGuard() {
    if (guardOwner_.load() != std::this_thread::get_id()) return;
    if (--guardDepth_ > 0) return;
    {
        const std::lock_guard lock(guardMutex_);
        guardOwner_ = std::thread::id();
    }
    guardFree_.notify_one();
}
