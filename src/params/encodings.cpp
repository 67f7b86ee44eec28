#include "params/encodings.h"

#include "base/number_text.h"

#include <cmath>
#include <cstdlib>

namespace {

double scaleFactor(Encoding enc, float dpMultiplier) {
    if (enc == Encoding::Tenths) return 10.0;
    if (enc == Encoding::Scaled) return dpMultiplier;
    return 1.0;
}

} // namespace

float decodeReal(Encoding enc, uint8_t high, uint8_t low, float dpDivisor) {
    const int16_t raw = int16_t(uint16_t(high << 8 | low));
    switch (enc) {
    case Encoding::Scaled:
        return float(raw) / dpDivisor;
    case Encoding::Tenths:
        return float(raw) / 10.0f;
    default:
        return float(decodeInt(enc, high, low));
    }
}

int16_t decodeInt(Encoding enc, uint8_t high, uint8_t low) {
    if (enc == Encoding::ByteChoice) return int16_t(low);
    return int16_t(uint16_t(high << 8 | low));
}

int16_t encodeReal(Encoding enc, float value, float dpMultiplier) {
    double scaled = double(value) * scaleFactor(enc, dpMultiplier);
    if (!std::isfinite(scaled)) return 0;
    // Only the low 16 bits go to the register; folding first keeps the
    // rounding within the range it is defined for.
    scaled = std::fmod(scaled, 65536.0);
    const long rounded = RoundRealToNearestInteger(scaled);
    return int16_t(uint16_t(uint32_t(rounded) & 0xFFFF));
}

int16_t encodeInt(Encoding enc, int16_t value) {
    if (enc == Encoding::ByteChoice) return int16_t(uint16_t(value) & 0xFF);
    return value;
}

bool realFitsRegister(Encoding enc, double value, float dpMultiplier) {
    const double scaled = value * scaleFactor(enc, dpMultiplier);
    if (!std::isfinite(scaled) || std::fabs(scaled) > 40000.0) return false;
    const long rounded = RoundRealToNearestInteger(scaled);
    return rounded >= -32768 && rounded <= 32767;
}

TimePair splitTimeWord(int16_t value) {
    return {value / 60, value % 60};
}

std::optional<int16_t> joinTimeWord(int major, int minor) {
    const long long joined = 60LL * major + minor;
    if (joined < -32768 || joined > 32767) return std::nullopt;
    return int16_t(joined);
}

std::string timeWordText(TimePair pair) {
    const std::string minor = std::to_string(std::abs(pair.minor));
    return std::to_string(pair.major) + ":" + (pair.minor < 0 ? "-" : "") +
           (minor.size() < 2 ? "0" : "") + minor;
}
