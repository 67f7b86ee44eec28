#pragma once
// How each parameter register maps to its record field and back.
#include <cstdint>

enum class Encoding { Scaled, Tenths, ByteChoice, Word, TimeWord };

// Register bytes (high, low) to an engineering value. Scaled divides by the
// decimal-point divisor, tenths by 10; the integer encodings give the value.
float decodeReal(Encoding enc, uint8_t high, uint8_t low, float dpDivisor);
int16_t decodeInt(Encoding enc, uint8_t high, uint8_t low);

// Engineering value to the 16-bit register value (kept to its low 16 bits).
int16_t encodeReal(Encoding enc, float value, float dpMultiplier);
int16_t encodeInt(Encoding enc, int16_t value);

// Whether the real's register form fits 16 bits without wrapping.
bool realFitsRegister(Encoding enc, double value, float dpMultiplier);

// A time word shown as (major, minor): value / 60 and value % 60, truncated.
struct TimePair {
    int major;
    int minor;
};
TimePair splitTimeWord(int16_t value);
// major * 60 + minor on unsigned 16-bit values, kept to 16 bits.
int16_t joinTimeWord(int major, int minor);
