#pragma once
// Faults queued by tests and applied to the replies that follow. Each call
// queues one fault for one reply; different kinds combine on the same reply.
#include "sim/modbus_slave.h"

#include <algorithm>
#include <deque>
#include <functional>
#include <optional>
#include <random>
#include <utility>

namespace sim {

struct Outgoing {
    Frame bytes;
    double extraDelay = 0.0; // seconds on top of the normal latency
};

class FaultQueue {
  public:
    void dropReplies(int count) { drop_ += std::max(count, 0); }
    void flipBit(int byteIndex, int bit) { flips_.emplace_back(byteIndex, bit); }
    void truncateNext(int length) { truncations_.push_back(length); }
    void delayNext(double seconds) { delays_.push_back(seconds); }
    void wrongSlaveNext(uint8_t address) { wrongSlaves_.push_back(address); }
    void exceptionNext(uint8_t code) { exceptions_.push_back(code); }
    // Only a write takes it: polls in between keep their honest replies.
    void refuseNextWrite(uint8_t code) { writeRefusals_.push_back(code); }
    void noiseNext(int byteCount) { noise_.push_back(byteCount); }

    // The reply a request gets, before it is framed for the wire. execute runs
    // the request and builds the honest reply (an RTU frame with its CRC); it
    // is skipped when an injected exception answers instead. nullopt means
    // stay silent.
    std::optional<Frame> answer(const Request& request, const std::function<Frame()>& execute);
    // What goes out once the reply is framed for the wire (RTU, or behind a
    // Modbus TCP header): bit flips, cuts and noise land on those bytes.
    Outgoing onWire(Frame bytes);

  private:
    int drop_ = 0;
    std::deque<std::pair<int, int>> flips_;
    std::deque<int> truncations_;
    std::deque<double> delays_;
    std::deque<uint8_t> wrongSlaves_;
    std::deque<uint8_t> exceptions_;
    std::deque<uint8_t> writeRefusals_;
    std::deque<int> noise_;
    std::mt19937 random_{0x5137};
};

} // namespace sim
