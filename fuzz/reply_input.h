#pragma once
// Splits a fuzz input into its selector byte and the reply bytes, copied
// into a buffer of the size the program reads replies into; and the request
// such a reply is judged against.
#include "link/crc.h"
#include "link/frames.h"

#include <algorithm>
#include <cstring>

struct FuzzReply {
    uint8_t selector = 0;
    uint8_t bytes[kMaxReply] = {};
    int count = 0;
};

inline FuzzReply fuzzReply(const uint8_t* data, size_t size) {
    FuzzReply r;
    if (size == 0) return r;
    r.selector = data[0];
    r.count = int(std::min(size - 1, sizeof r.bytes));
    std::memcpy(r.bytes, data + 1, std::size_t(r.count));
    return r;
}

// A whole request to `slave`, CRC and all.
inline Frame fuzzRequest(uint8_t slave, uint8_t function, uint16_t reg, uint16_t countOrValue) {
    Frame f = makeTemplate(slave, function, reg, countOrValue);
    const uint16_t crc = crc16(f.data(), 6);
    f[6] = uint8_t(crc & 0xFF);
    f[7] = uint8_t(crc >> 8);
    return f;
}
