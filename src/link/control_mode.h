#pragma once
// The controller's control mode (register 0x0003), by its codes. A code the
// controller may report outside these is kept as it is, never mapped onto
// one of them.
#include <cstdint>

enum class ControlMode : uint8_t {
    off = 0,
    on = 1,
    autoTune1 = 2,
    autoTune2 = 3,
    manual = 4,
    program = 5,
};

// The mode a register word holds: its low byte.
constexpr ControlMode controlModeOf(uint16_t word) {
    return ControlMode(word & 0xFF);
}
constexpr int codeOf(ControlMode mode) {
    return int(mode);
}
// One of the modes above, not a code only the controller knows.
constexpr bool isKnownMode(ControlMode mode) {
    return codeOf(mode) <= codeOf(ControlMode::program);
}
constexpr bool isAutoTune(ControlMode mode) {
    return mode == ControlMode::autoTune1 || mode == ControlMode::autoTune2;
}
