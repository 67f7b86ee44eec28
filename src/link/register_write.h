#pragma once
// One write of a single register, judged by its echo.
#include <cstdint>
#include <string>

enum class WriteOutcome {
    Confirmed,   // the echo equals the request
    Refused,     // the controller sent an exception reply
    Unconfirmed, // a reply that is not the echo
    NoReply,     // nothing came back
};

// Writes value to reg of the current controller. The echo (or whatever came)
// lands in the shared write echo, which is cleared first so an old echo is
// never judged as this one's.
WriteOutcome writeRegister(uint16_t reg, int16_t value);

// The exception code of the last write the controller refused: the third
// byte of its exception reply, which the write left in the shared echo.
uint8_t refusalCode();

// The operator's view of a failed write: the refusal popup for an exception
// reply, one message for a change the controller did not confirm. Nothing for
// a confirmed write.
void reportWrite(WriteOutcome outcome, const std::string& what);
