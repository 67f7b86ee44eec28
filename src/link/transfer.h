#pragma once
// Reads and writes of the controller's registers, each judged by the line
// and retried by the one retry policy (retry_policy.h). A transfer is a run
// of requests that gives up together: once the controller has stayed silent
// for kSilentExchanges requests in a row, the transfer sends nothing more.
// The busy guard and the settle time are the caller's (transaction.h), as
// each transaction names its own.
#include "link/controller.h"
#include "link/frames.h"
#include "link/results.h"
#include "link/retry_policy.h"

#include <cstdint>
#include <optional>

class Transfer {
  public:
    explicit Transfer(Controller& controller) : controller_(controller) {}
    // count registers from reg, tried up to kReadAttempts times; by function
    // 04 where another master asked for it so (the controller keeps one
    // register space and answers both).
    Outcome read(uint16_t reg, uint16_t count = 1, uint8_t function = kFnReadHolding);
    // One write, judged by its echo, which the controller keeps as its last
    // echo.
    Outcome write(uint16_t reg, int16_t value);
    // The controller stopped answering: what is left of the transfer is not sent.
    bool silent() const;
    Controller& controller() const { return controller_; }

  private:
    void note(const Outcome& outcome);
    Controller& controller_;
    retry::SilenceCount silence_;
};

// A one-request transfer each, for the callers that send a single request.
Outcome readRegisters(Controller& controller, uint16_t reg, uint16_t count = 1);
Outcome writeRegister(Controller& controller, uint16_t reg, int16_t value);

// The PV and SV read: a transaction of its own, settled as a poll, retried by
// the policy. The signed value, or nothing when no good reply came.
std::optional<int16_t> pollRegister(Controller& controller, uint16_t reg);
// The same read with what became of it, for a caller that says why it failed.
Outcome pollRegisterOutcome(Controller& controller, uint16_t reg);

// The debug panel's request to the controller as the engineer composed it
// (its address and CRC in place), with replyLength bytes read, stopping at a
// whole exception reply. Nothing is retried: every byte is shown, with what
// the line made of it.
struct RawReply {
    uint8_t bytes[kMaxReply] = {}; // bytes that did not arrive read as 0
    int count = 0;
    Fault verdict = Fault::noReply;
    // Five bytes with the function's high bit set and a good CRC, from
    // whichever slave: laid out as an exception, not as data.
    bool exceptionFrame = false;
};
RawReply rawExchange(Controller& controller, const Frame& request, int replyLength);
