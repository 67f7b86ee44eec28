#pragma once
// Judgements on the bytes that came back, kept free of any port or panel so
// that every caller judges a reply the same way.
#include "link/crc.h"

#include <cstdint>
#include <optional>

// A normal reply to a read of `registers` holding registers from slave:
// exact length, good CRC, the slave's address, function 0x03 and the byte count.
inline bool isReadReply(const uint8_t* bytes, int count, uint16_t slave, int registers) {
    const int length = 5 + 2 * registers;
    return registers >= 1 && registers <= 125 && count == length &&
           crcMatches(bytes, std::size_t(count)) && bytes[0] == uint8_t(slave & 0xFF) &&
           bytes[1] == 0x03 && bytes[2] == 2 * registers;
}

// The value of a one-register read reply, or nothing when the reply is not
// wholly the slave's answer to such a read. A good CRC alone is not enough:
// another slave's answer or an exception carries a good CRC too.
inline std::optional<int16_t> singleRegisterValue(const uint8_t* bytes, int count, uint16_t slave) {
    if (!isReadReply(bytes, count, slave, 1)) return std::nullopt;
    return int16_t(uint16_t(bytes[3] << 8 | bytes[4]));
}

// A complete exception reply: five bytes, the function's high bit set, good CRC.
inline bool isExceptionFrame(const uint8_t* bytes, int count) {
    return count == 5 && (bytes[1] & 0x80) && crcMatches(bytes, 5);
}
