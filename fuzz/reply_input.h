#pragma once
// Splits a fuzz input into its selector byte and the reply bytes, copied
// into a buffer of the size the program reads replies into.
#include "link/transaction.h"

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
