#include "serve/modbus_desk.h"

std::vector<uint8_t> exceptionPdu(uint8_t function, uint8_t code) {
    return {uint8_t(function | 0x80), code};
}

void ModbusDesk::ask(ModbusAsk a) {
    {
        std::lock_guard lock(mutex_);
        // Each client has one request in flight at most, and the server
        // takes few clients: this bound is for a line that stopped taking.
        // Woken under the lock: the line's inbox is not gone before detach.
        if (wake_ && waiting_.size() < kMaxWaiting) {
            waiting_.push_back(std::move(a));
            wake_();
            return;
        }
    }
    a.answer(exceptionPdu(a.function, modbus_exception::pathUnavailable));
}

void ModbusDesk::attach(std::function<void()> wake) {
    std::lock_guard lock(mutex_);
    wake_ = std::move(wake);
}

void ModbusDesk::detach() {
    std::deque<ModbusAsk> left;
    {
        std::lock_guard lock(mutex_);
        wake_ = {};
        left.swap(waiting_);
    }
    for (ModbusAsk& a : left)
        a.answer(exceptionPdu(a.function, modbus_exception::pathUnavailable));
}

std::optional<ModbusAsk> ModbusDesk::take() {
    std::lock_guard lock(mutex_);
    if (waiting_.empty()) return std::nullopt;
    ModbusAsk a = std::move(waiting_.front());
    waiting_.pop_front();
    return a;
}
