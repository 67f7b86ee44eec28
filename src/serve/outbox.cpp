#include "serve/outbox.h"

void Outbox::push(OutMessage m) {
    queue_.push_back(std::move(m));
    while (queue_.size() > capacity_) {
        queue_.pop_front();
        ++dropped_;
    }
}

void Outbox::putBack(OutMessage m) {
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
