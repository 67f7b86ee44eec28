#include "serve/outbox.h"

#include <algorithm>

std::deque<OutMessage>::iterator Outbox::waitingRetained(const std::string& topic) {
    return std::find_if(queue_.begin(), queue_.end(),
                        [&](const OutMessage& m) { return m.retain && m.topic == topic; });
}

void Outbox::push(OutMessage m) {
    if (m.retain)
        if (const auto it = waitingRetained(m.topic); it != queue_.end()) {
            it->payload = std::move(m.payload);
            return;
        }
    queue_.push_back(std::move(m));
    while (queue_.size() > capacity_) {
        queue_.pop_front();
        ++dropped_;
    }
}

void Outbox::putBack(OutMessage m) {
    if (m.retain && waitingRetained(m.topic) != queue_.end()) return;
    queue_.push_front(std::move(m));
    while (queue_.size() > capacity_) {
        queue_.pop_back();
        ++dropped_;
    }
}

OutMessage Outbox::pop() {
    OutMessage m = std::move(queue_.front());
    queue_.pop_front();
    return m;
}

std::size_t Outbox::takeDropped() {
    const std::size_t n = dropped_;
    dropped_ = 0;
    return n;
}
