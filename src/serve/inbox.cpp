#include "serve/inbox.h"

void Inbox::post(BrokerEvent event) {
    {
        std::lock_guard lock(mutex_);
        if (event.kind == BrokerEvent::Kind::message) {
            if (messages_ >= kMaxMessages) {
                ++dropped_;
                return;
            }
            ++messages_;
        }
        events_.push_back(std::move(event));
    }
    posted_.notify_one();
}

void Inbox::stop() {
    {
        std::lock_guard lock(mutex_);
        stopped_ = true;
    }
    posted_.notify_one();
}

void Inbox::wake() {
    {
        std::lock_guard lock(mutex_);
        woken_ = true;
    }
    posted_.notify_one();
}

bool Inbox::stopped() const {
    std::lock_guard lock(mutex_);
    return stopped_;
}

std::vector<BrokerEvent> Inbox::wait(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock lock(mutex_);
    posted_.wait_until(lock, deadline, [&] { return stopped_ || woken_ || !events_.empty(); });
    return takeLocked();
}

std::vector<BrokerEvent> Inbox::take() {
    std::lock_guard lock(mutex_);
    return takeLocked();
}

std::vector<BrokerEvent> Inbox::takeLocked() {
    woken_ = false;
    std::vector<BrokerEvent> out;
    out.swap(events_);
    messages_ = 0;
    return out;
}

std::vector<BrokerEvent> Inbox::waitAfterStop(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock lock(mutex_);
    posted_.wait_until(lock, deadline, [&] { return !events_.empty(); });
    std::vector<BrokerEvent> out;
    out.swap(events_);
    messages_ = 0;
    return out;
}

std::size_t Inbox::takeDropped() {
    std::lock_guard lock(mutex_);
    const std::size_t n = dropped_;
    dropped_ = 0;
    return n;
}
