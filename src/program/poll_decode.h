#pragma once
// What the run-status and auto-tune polls make of a good reply's words,
// apart from the line and the panels.
#include "link/control_mode.h"
#include "link/registers.h"

#include <cstdint>
#include <optional>
#include <string>

// Eight steps of two segments each.
inline constexpr int kProgramSegments = 16;

struct RunStatus {
    bool running = false;
    bool idle = false;
    int segment = -1; // the running segment, -1 when none is shown
};

// The run status word: program state in the high byte (4 running, 0 idle),
// position in the low byte, fifteen to a segment. The alarm outputs share the
// high byte and say nothing about the program.
inline RunStatus decodeRunStatus(uint16_t status, int segments) {
    constexpr uint8_t kRunning = 4, kIdle = 0;
    constexpr int kStatusPerSegment = 15;
    const uint8_t state = uint8_t((status & ~reg::alarmOutputs) >> 8);
    const uint8_t position = uint8_t(status & 0xFF);
    RunStatus s;
    s.running = state == kRunning;
    s.idle = state == kIdle;
    // 240 and above would be segment 16 or more, past the last indicator.
    if (s.running && position < segments * kStatusPerSegment)
        s.segment = position / kStatusPerSegment;
    return s;
}

// The control mode word of the auto-tune poll, once tuning is over (On or
// Off); nothing while it goes on.
inline std::optional<ControlMode> decodeTuneEnd(uint16_t word) {
    const ControlMode mode = controlModeOf(word);
    if (mode != ControlMode::off && mode != ControlMode::on) return std::nullopt;
    return mode;
}

// The run status word as a person reads it: "0x0412 (program running,
// segment 1)".
std::string statusText(uint16_t word);
