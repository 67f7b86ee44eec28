#pragma once
// What makes a step program reply or write echo trustworthy, and the
// operator's names for the registers involved.
#include "link/transaction.h"

#include <cstdint>
#include <string>

inline constexpr uint16_t kBandRegister = 0x0032;
inline constexpr uint16_t kFirstStepRegister = 0x0033;
inline constexpr int kRegistersPerStep = 5;

// A full read reply for `registers` registers from slaveId: length, CRC,
// address, function and byte count.
bool isGoodReadReply(const Reply& reply, uint16_t slaveId, int registers);
// The echo of a single-register write repeats the request exactly.
bool isGoodEcho(const Reply& reply, const Frame& request);
// "0x0034 (step 0 set value)".
std::string registerName(uint16_t reg);
// Counts requests in a row that got no byte back; three mean nobody is there.
class SilenceWatch {
  public:
    bool silent() const { return inARow_ >= 3; }
    void note(const Reply& reply) { inARow_ = reply.count == 0 ? inARow_ + 1 : 0; }

  private:
    int inARow_ = 0;
};
