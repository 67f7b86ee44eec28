#pragma once
// The building blocks every conversation with the controller is made of.
#include "link/frames.h"

#include <optional>

constexpr int kMaxReply = 5 + 2 * 125 + 1;

struct Reply {
    uint8_t bytes[kMaxReply] = {}; // bytes that did not arrive read as 0
    int count = 0;                 // bytes that arrived
    // A complete exception reply: function with 0x80 set, 5 bytes, good CRC.
    bool isException() const;
    // count equals the expected length and the CRC over it is good.
    bool complete(int expected) const;
};

// Sends a request that already carries its address and CRC; see exchange().
Reply exchangeCompleted(const Frame& frame, int minLength = 0);

// Completes the request for slaveId, discards stale input, writes it, pauses
// 0.03 s and reads the full reply the request implies (at least minLength),
// stopping early on a complete exception reply.
Reply exchange(Frame& frame, uint16_t slaveId, int minLength = 0);
// The same for a write: value goes into bytes 4-5.
Reply exchangeWrite(Frame& frame, uint16_t slaveId, int16_t value);

// A fresh start: no answer of an earlier exchange is expected any more.
void forgetLateAnswer();

// Discards both queues, then pauses the settle time.
void preparation(double settleSeconds);

// Holds comBusy for its lifetime; waits in 0.01 s steps while another holds it.
class BusyGuard {
  public:
    BusyGuard();
    ~BusyGuard();
    void release();
    BusyGuard(const BusyGuard&) = delete;
    BusyGuard& operator=(const BusyGuard&) = delete;

  private:
    bool held_ = true;
};

constexpr int kValidatedReadAttempts = 3;
// Attempts in a row with no reply at all after which the read gives up early.
constexpr int kSilentAttemptsToGiveUp = 2;

// Guarded, prepared one-register read that retries a short or corrupt reply.
// Gives up after kValidatedReadAttempts (or kSilentAttemptsToGiveUp silent
// ones in a row) and then yields no value.
std::optional<int16_t> validatedRead(const Frame& requestTemplate, uint16_t slaveId);
