#pragma once
// Messages waiting for the broker, at most a fixed number: when the broker
// is away longer than that holds, the oldest go and are counted, so what
// reaches it on its return is the newest. A retained message replaces the
// one still waiting for its topic, in its place: the broker keeps only the
// latest anyway, and a newcomer must not be shown the states of an outage
// one by one.
#include <cstddef>
#include <deque>
#include <string>

struct OutMessage {
    std::string topic, payload;
    bool retain = false;
};

class Outbox {
  public:
    explicit Outbox(std::size_t capacity) : capacity_(capacity) {}
    void push(OutMessage m);
    // Back to the front, as it was: the client did not take it. A retained
    // message whose topic has a newer one waiting is dropped instead.
    void putBack(OutMessage m);
    bool empty() const { return queue_.empty(); }
    std::size_t size() const { return queue_.size(); }
    OutMessage pop();
    // Dropped since the last call.
    std::size_t takeDropped();

  private:
    std::deque<OutMessage>::iterator waitingRetained(const std::string& topic);
    std::size_t capacity_;
    std::deque<OutMessage> queue_;
    std::size_t dropped_ = 0;
};
