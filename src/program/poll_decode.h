#pragma once
// What the run-status and auto-tune polls make of a reply, apart from the
// panels they update.
#include "link/reply_checks.h"

#include <cstdint>
#include <optional>

struct RunStatus {
    bool running = false;
    bool idle = false;
    int segment = -1; // the running segment, -1 when none is shown
};

// The run status word (state high, position low), or nothing when the reply
// is not the controller's whole answer: then the state is unknown.
inline std::optional<RunStatus> decodeRunStatus(const uint8_t* bytes, int count, uint16_t slave,
                                                int segments) {
    constexpr uint8_t kRunning = 4, kIdle = 0;
    constexpr int kStatusPerSegment = 15;
    if (!isReadReply(bytes, count, slave, 1)) return std::nullopt;
    RunStatus status;
    status.running = bytes[3] == kRunning;
    status.idle = bytes[3] == kIdle;
    // 240 and above would be segment 16 or more, past the last indicator.
    if (status.running && bytes[4] < segments * kStatusPerSegment)
        status.segment = bytes[4] / kStatusPerSegment;
    return status;
}

// The mode from the auto-tune poll's two-register reply, once tuning is over
// (On or Off); nothing while it goes on or when the reply is not whole.
inline std::optional<uint8_t> decodeTuneEnd(const uint8_t* bytes, int count, uint16_t slave) {
    if (!isReadReply(bytes, count, slave, 2)) return std::nullopt;
    const uint8_t mode = bytes[4];
    if (mode != 0 && mode != 1) return std::nullopt;
    return mode;
}
