#include "cli/value_text.h"

#include "base/hex_text.h"
#include "base/number_text.h"
#include "program/poll_decode.h"

namespace {

// Eight steps of two segments each.
constexpr int kProgramSegments = 16;

} // namespace

std::string scaledText(Scale scale, int16_t word) {
    return formatFixed(scale.toValue(word), scale.digits());
}

std::string scaledText(Scale scale, float value) {
    return formatFixed(double(value), scale.digits());
}

std::string tenthsText(float value) {
    return formatFixed(double(value), 1);
}

std::string choiceText(std::span<const Choice> choices, int code) {
    for (const Choice& c : choices)
        if (c.code == code) return std::string(c.label);
    return choices::unknownText(code);
}

std::string temperatureUnit(int code) {
    return choiceText(choices::unit, code);
}

std::string statusText(uint16_t word) {
    const std::string hex = hexWord(word);
    const RunStatus s = decodeRunStatus(word, kProgramSegments);
    if (s.idle) return hex + " (program idle)";
    if (s.running && s.segment >= 0)
        return hex + " (program running, segment " + std::to_string(s.segment) + ")";
    if (s.running) return hex + " (program running)";
    return hex + " (program state " + std::to_string(word >> 8) + ")";
}
