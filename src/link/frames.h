#pragma once
// Request images and their completion into wire frames.
#include "link/registers.h"

#include <array>
#include <cstdint>

using Frame = std::array<uint8_t, 8>;

constexpr uint8_t kFnReadHolding = 0x03;
constexpr uint8_t kFnReadInput = 0x04;
constexpr uint8_t kFnWriteSingle = 0x06;

// The longest reply a request can ask for (125 registers), and one byte more
// so that an overlong answer shows as such.
constexpr int kMaxReply = 5 + 2 * 125 + 1;

// A request template: bytes 0-5 preset, CRC bytes zero.
constexpr Frame makeTemplate(uint8_t address, uint8_t function, uint16_t reg,
                             uint16_t countOrValue) {
    return {address,
            function,
            uint8_t(reg >> 8),
            uint8_t(reg & 0xFF),
            uint8_t(countOrValue >> 8),
            uint8_t(countOrValue & 0xFF),
            0,
            0};
}
constexpr Frame readTemplate(uint16_t reg, uint16_t count = 1) {
    return makeTemplate(0x01, kFnReadHolding, reg, count);
}
constexpr Frame writeTemplate(uint16_t reg) {
    return makeTemplate(0x01, kFnWriteSingle, reg, 0);
}

namespace templates {
constexpr Frame probe = makeTemplate(0xF7, kFnReadHolding, reg::identification, 1);
constexpr Frame pvRead = readTemplate(reg::pv);
constexpr Frame svRead = readTemplate(reg::svRead);
constexpr Frame statusRead = readTemplate(reg::status);
constexpr Frame modeOff = writeTemplate(reg::controlMode);
constexpr Frame setValue = writeTemplate(reg::setValue);
constexpr Frame outputLevel = writeTemplate(reg::outputLevel);
} // namespace templates

// Fills byte 0 with the slave address and bytes 6-7 with the CRC, low byte
// first.
void completeRequest(Frame& frame, uint16_t slaveId);
// Same, after putting a signed 16-bit value into bytes 4-5, high byte first.
void completeWrite(Frame& frame, uint16_t slaveId, int16_t value);

// Length of the normal reply a request asks for: 5 + 2n for a read of n
// registers, 8 for a write echo.
constexpr int impliedReplyLength(const Frame& request) {
    if (request[1] != kFnReadHolding && request[1] != kFnReadInput) return 8;
    const int count = request[4] << 8 | request[5];
    return count >= 1 && count <= 125 ? 5 + 2 * count : 5;
}

// Signed 16-bit value from a high and a low byte.
constexpr int16_t signedWord(uint8_t high, uint8_t low) {
    return int16_t(uint16_t(high << 8 | low));
}
