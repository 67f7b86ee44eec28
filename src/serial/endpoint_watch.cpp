#include "serial/endpoint_watch.h"

#include "serial/serial_port.h"

#include <chrono>

namespace {

// Often enough that a gateway back from a restart is found within a
// second, seldom enough to be no load on it.
constexpr auto kRetryInterval = std::chrono::seconds(1);
// A gateway on the local network answers a connection at once; a short
// try also keeps the program's end from waiting on one that is off.
constexpr auto kTryFor = std::chrono::milliseconds(500);

} // namespace

EndpointWatch::EndpointWatch(std::string device, std::function<void()> accepts)
    : device_(std::move(device)), accepts_(std::move(accepts)), thread_([this] { run(); }) {}

EndpointWatch::~EndpointWatch() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void EndpointWatch::run() {
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            if (wake_.wait_for(lock, kRetryInterval, [this] { return stopping_; })) return;
        }
        if (endpointAccepts(device_, kTryFor)) accepts_();
    }
}
