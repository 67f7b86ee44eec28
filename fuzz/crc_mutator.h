#pragma once
// Reply decoders reject anything without a good CRC, so random bytes would
// never get past the first check. This mutator lets libFuzzer change the
// bytes, then usually puts a valid CRC back on the end. The first byte of an
// input is a selector for the target (which slave, which layout); the rest
// is the reply as it came off the line.
#include "link/crc.h"

#include <cstddef>
#include <cstdint>

#ifndef Q7_FUZZ_REPLAY
extern "C" size_t LLVMFuzzerMutate(uint8_t* data, size_t size, size_t maxSize);

extern "C" size_t LLVMFuzzerCustomMutator(uint8_t* data, size_t size, size_t maxSize,
                                          unsigned int seed) {
    size = LLVMFuzzerMutate(data, size, maxSize);
    // One input in eight keeps whatever CRC the mutation left, so the
    // rejection of bad ones stays exercised too.
    if (size >= 4 && seed % 8 != 0) {
        const uint16_t crc = crc16(data + 1, size - 3);
        data[size - 2] = uint8_t(crc & 0xFF);
        data[size - 1] = uint8_t(crc >> 8);
    }
    return size;
}
#endif
