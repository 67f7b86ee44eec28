#pragma once
// What became of a request: the value(s), or the reason there are none.
// Every reply is judged once, by the line, in this order: any reply at
// all, a complete exception reply, length and CRC, slave address, function,
// and whether it answers this very request (byte count, or the echo).
#include <cstdint>
#include <string>
#include <vector>

enum class Fault : uint8_t {
    none,          // a good reply: the values read, or the echo of the write
    noReply,       // nothing came back
    damaged,       // bad CRC, or too short or too long
    wrongSlave,    // a whole frame from another address
    wrongFunction, // a whole frame for another function
    exception,     // the controller refused, with an exception code
    mismatch,      // a whole frame that answers another request
    lineLost,      // the port's device went away
};

struct Outcome {
    Fault fault = Fault::noReply;
    uint8_t exceptionCode = 0;   // with Fault::exception
    std::vector<uint16_t> words; // a good read's registers, in order

    bool ok() const { return fault == Fault::none; }
    bool refused() const { return fault == Fault::exception; }
    // Nothing at all came back: the controller is not there to ask.
    bool silent() const { return fault == Fault::noReply || fault == Fault::lineLost; }
    int16_t value(std::size_t i = 0) const { return int16_t(words.at(i)); }
};

// The name Modbus gives an exception code ("illegal data address"); empty for
// a code it does not name.
std::string exceptionName(uint8_t code);

// "no reply", "damaged reply", "exception 02", ... for messages and traces.
std::string describe(Fault fault, uint8_t exceptionCode = 0);
inline std::string describe(const Outcome& o) {
    return describe(o.fault, o.exceptionCode);
}
