#pragma once
// The master's end of the simulator's line, opened with plain POSIX calls so
// these tests do not lean on the program's own serial code.
#include "link/crc.h"
#include "support/raw_stream.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace simtest {

using ::Bytes;
using Clock = std::chrono::steady_clock;
using Line = RawStream;

inline Bytes withCrc(Bytes frame) {
    const uint16_t crc = crc16(frame.data(), frame.size());
    frame.push_back(uint8_t(crc & 0xFF));
    frame.push_back(uint8_t(crc >> 8));
    return frame;
}

inline Bytes readRequest(uint8_t id, uint16_t first, uint16_t count, uint8_t function = 0x03) {
    return withCrc(
        {id, function, uint8_t(first >> 8), uint8_t(first), uint8_t(count >> 8), uint8_t(count)});
}

inline Bytes writeRequest(uint8_t id, uint16_t address, uint16_t value) {
    return withCrc(
        {id, 0x06, uint8_t(address >> 8), uint8_t(address), uint8_t(value >> 8), uint8_t(value)});
}

inline bool goodCrc(const Bytes& frame) {
    return crcMatches(frame.data(), frame.size());
}

} // namespace simtest
