#pragma once
// How the debug panel lays out whatever bytes came back, so that any reply,
// however malformed, shows without reading past what the panel holds.
#include "link/crc.h"
#include "link/frames.h"

#include <cstdint>

struct DebugReplyView {
    uint8_t address = 0, function = 0, byte2 = 0;
    uint8_t regLow = 0; // a write echo's register low byte; unused for a read
    uint8_t dataHigh = 0, dataLow = 0, crcLow = 0, crcHigh = 0;
    double value = 0;                          // the data word as a temperature register reads
    uint8_t checkCrcLow = 0, checkCrcHigh = 0; // the CRC the bytes before it call for
};

// reply holds 8 bytes; those that did not arrive are 0. A write echo carries
// the register low byte at 3; a read reply has its data there instead, so
// every later byte sits one place earlier.
inline DebugReplyView decodeDebugReply(const uint8_t (&reply)[8], bool write, float dpDivisor) {
    const int data = write ? 4 : 3;
    DebugReplyView v;
    v.address = reply[0];
    v.function = reply[1];
    v.byte2 = reply[2];
    if (write) v.regLow = reply[3];
    v.dataHigh = reply[data];
    v.dataLow = reply[data + 1];
    v.crcLow = reply[data + 2];
    v.crcHigh = reply[data + 3];
    v.value = double(signedWord(reply[data], reply[data + 1])) / dpDivisor;
    const uint16_t check = crc16(reply, std::size_t(data + 2));
    v.checkCrcLow = uint8_t(check & 0xFF);
    v.checkCrcHigh = uint8_t(check >> 8);
    return v;
}
