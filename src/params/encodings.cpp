#include "params/encodings.h"

#include <cstdlib>

Scale scaleOf(Encoding enc, Scale decimalPoint) {
    if (enc == Encoding::Tenths) return Scale::tenths();
    if (enc == Encoding::Scaled) return decimalPoint;
    return Scale{};
}

float decodeReal(Encoding enc, uint8_t high, uint8_t low, Scale decimalPoint) {
    if (enc == Encoding::Scaled || enc == Encoding::Tenths)
        return float(scaleOf(enc, decimalPoint).toValue(int16_t(uint16_t(high << 8 | low))));
    return float(decodeInt(enc, high, low));
}

int16_t decodeInt(Encoding enc, uint8_t high, uint8_t low) {
    if (enc == Encoding::ByteChoice) return int16_t(low);
    return int16_t(uint16_t(high << 8 | low));
}

std::optional<int16_t> encodeReal(Encoding enc, float value, Scale decimalPoint) {
    return scaleOf(enc, decimalPoint).toWord(double(value));
}

int16_t encodeInt(Encoding enc, int16_t value) {
    if (enc == Encoding::ByteChoice) return int16_t(uint16_t(value) & 0xFF);
    return value;
}

bool realFitsRegister(Encoding enc, double value, Scale decimalPoint) {
    return scaleOf(enc, decimalPoint).toWord(value).has_value();
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
