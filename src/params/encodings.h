#pragma once
// How each parameter register maps to its record field and back.
#include "link/scale.h"

#include <cstdint>
#include <optional>
#include <string>

enum class Encoding { Scaled, Tenths, ByteChoice, Word, TimeWord };

// The scale a real register's word is read with: the decimal point's for a
// scaled one, one digit for tenths whatever the decimal point.
Scale scaleOf(Encoding enc, Scale decimalPoint);

// Register bytes (high, low) to an engineering value: scaled and tenths by
// their scale; the integer encodings give the value.
float decodeReal(Encoding enc, uint8_t high, uint8_t low, Scale decimalPoint);
int16_t decodeInt(Encoding enc, uint8_t high, uint8_t low);

// Engineering value to the 16-bit register value; nothing when the register
// cannot hold it.
std::optional<int16_t> encodeReal(Encoding enc, float value, Scale decimalPoint);
int16_t encodeInt(Encoding enc, int16_t value);

// Whether the real's register form fits 16 bits without wrapping.
bool realFitsRegister(Encoding enc, double value, Scale decimalPoint);

// A time word shown as (major, minor): the signed value / 60 and value % 60,
// truncated toward zero, so 0xFFFF shows as 0 and -1. Every register value
// has its own pair, so a pair shown and joined again gives the same register.
struct TimePair {
    int major;
    int minor;
};
TimePair splitTimeWord(int16_t value);
// major * 60 + minor; nothing when that is not a signed 16-bit value (it
// would wrap into a different time).
std::optional<int16_t> joinTimeWord(int major, int minor);
// A pair as the operator reads it: "2:05", "0:-01", "-546:-08".
std::string timeWordText(TimePair pair);
