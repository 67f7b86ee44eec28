#include "sim/sim_controller.h"

#include "sim/line_server.h"

namespace sim {

struct SimController::Impl : LineServer {
    using LineServer::LineServer;

    // Runs f on the queued faults under the lock.
    template <typename F> void withFaults(F f) {
        std::lock_guard lock(mutex);
        f(faults);
    }
};

SimController::SimController(SimOptions options)
    : impl_(std::make_unique<Impl>(std::move(options))) {}

SimController::~SimController() {
    stop();
}

bool SimController::start() {
    return impl_->start();
}

void SimController::stop() {
    impl_->stop();
}

std::string SimController::devicePath() const {
    return impl_->path();
}

uint16_t SimController::port() const {
    return impl_->port();
}

const SimOptions& SimController::options() const {
    return impl_->options;
}

uint16_t SimController::reg(uint16_t address) const {
    return reg(impl_->options.slaveId, address);
}

void SimController::setReg(uint16_t address, uint16_t value) {
    setReg(impl_->options.slaveId, address, value);
}

uint16_t SimController::reg(uint8_t id, uint16_t address) const {
    std::lock_guard lock(impl_->mutex);
    const SimUnit* unit = impl_->unit(id);
    return unit ? unit->registers.get(address) : 0;
}

void SimController::setReg(uint8_t id, uint16_t address, uint16_t value) {
    std::lock_guard lock(impl_->mutex);
    if (SimUnit* unit = impl_->unit(id)) unit->set(address, value);
}

void SimController::setAnswering(uint8_t id, bool answering) {
    std::lock_guard lock(impl_->mutex);
    if (SimUnit* unit = impl_->unit(id)) unit->answering = answering;
}

int SimController::requestCount() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->requests;
}

std::vector<std::string> SimController::requestLog() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->requestLog;
}

void SimController::clearRequestLog() {
    std::lock_guard lock(impl_->mutex);
    impl_->requestLog.clear();
}

std::string SimController::lastRequestHex() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->lastRequest;
}

void SimController::dropReplies(int count) {
    impl_->withFaults([&](FaultQueue& f) { f.dropReplies(count); });
}

void SimController::flipBit(int byteIndex, int bit) {
    impl_->withFaults([&](FaultQueue& f) { f.flipBit(byteIndex, bit); });
}

void SimController::truncateNext(int length) {
    impl_->withFaults([&](FaultQueue& f) { f.truncateNext(length); });
}

void SimController::delayNext(double seconds) {
    impl_->withFaults([&](FaultQueue& f) { f.delayNext(seconds); });
}

void SimController::wrongSlaveNext(uint8_t address) {
    impl_->withFaults([&](FaultQueue& f) { f.wrongSlaveNext(address); });
}

void SimController::exceptionNext(uint8_t code) {
    impl_->withFaults([&](FaultQueue& f) { f.exceptionNext(code); });
}

void SimController::refuseNextWrite(uint8_t code) {
    impl_->withFaults([&](FaultQueue& f) { f.refuseNextWrite(code); });
}

void SimController::noiseNext(int byteCount) {
    impl_->withFaults([&](FaultQueue& f) { f.noiseNext(byteCount); });
}

void SimController::sendNoise(int byteCount) {
    impl_->sendNoise(byteCount);
}

void SimController::setRequestHook(std::function<void(int)> hook) {
    std::lock_guard lock(impl_->mutex);
    impl_->requestHook = std::move(hook);
}

void SimController::closeLine() {
    impl_->closeLine();
}

} // namespace sim
