#include "program/poll_decode.h"

#include "base/hex_text.h"

std::string statusText(uint16_t word) {
    const std::string hex = hexWord(word);
    const RunStatus s = decodeRunStatus(word, kProgramSegments);
    if (s.idle) return hex + " (program idle)";
    if (s.running && s.segment >= 0)
        return hex + " (program running, segment " + std::to_string(s.segment) + ")";
    if (s.running) return hex + " (program running)";
    return hex + " (program state " + std::to_string(word >> 8) + ")";
}
