#include "serve/inbox.h"

namespace {

// PREFIX/LINE/ID/set for PREFIX/LINE/ID/set/sv: one controller's settings,
// or its run commands, or its reads.
std::string groupOf(const std::string& topic) {
    return topic.substr(0, topic.rfind('/'));
}

// A web command dropped is told so at once: its page waits for an answer.
void refuseDropped(const BrokerEvent& e) {
    if (e.reply)
        e.reply("{\"ok\":false,\"reason\":\"dropped: more commands came in than the line can "
                "take; nothing was sent\"}");
}

} // namespace

void Inbox::dropLocked(const std::string& topic, std::size_t count) {
    dropped_.count += count;
    const auto at = dropped_.topics.find(topic);
    if (at != dropped_.topics.end())
        at->second += count;
    else if (dropped_.topics.size() < kMaxDroppedTopics)
        dropped_.topics.emplace(topic, count);
}

void Inbox::noteDropped(const std::string& topic, std::size_t count) {
    {
        std::lock_guard lock(mutex_);
        dropLocked(topic, count);
        woken_ = true;
    }
    posted_.notify_one();
}

void Inbox::post(BrokerEvent event) {
    {
        std::lock_guard lock(mutex_);
        if (event.kind == BrokerEvent::Kind::message) {
            const std::string group = groupOf(event.topic);
            if (messages_ >= kMaxMessages) {
                auto biggest = waiting_.begin();
                for (auto it = waiting_.begin(); it != waiting_.end(); ++it)
                    if (it->second > biggest->second) biggest = it;
                const auto own = waiting_.find(group);
                if (biggest == waiting_.end() ||
                    (own != waiting_.end() && own->second >= biggest->second)) {
                    dropLocked(event.topic, 1);
                    refuseDropped(event);
                    return;
                }
                // The flood's newest makes room: its first ones keep their turn.
                for (auto it = events_.end(); it != events_.begin();) {
                    --it;
                    if (it->kind != BrokerEvent::Kind::message ||
                        groupOf(it->topic) != biggest->first)
                        continue;
                    dropLocked(it->topic, 1);
                    refuseDropped(*it);
                    events_.erase(it);
                    break;
                }
                if (--biggest->second == 0) waiting_.erase(biggest);
                --messages_;
            }
            ++messages_;
            ++waiting_[group];
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
    waiting_.clear();
    return out;
}

std::vector<BrokerEvent> Inbox::waitAfterStop(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock lock(mutex_);
    posted_.wait_until(lock, deadline, [&] { return !events_.empty(); });
    std::vector<BrokerEvent> out;
    out.swap(events_);
    messages_ = 0;
    waiting_.clear();
    return out;
}

Inbox::Dropped Inbox::takeDropped() {
    std::lock_guard lock(mutex_);
    return std::exchange(dropped_, {});
}
