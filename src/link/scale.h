#pragma once
// How a register word and a value in engineering units stand to each other.
// A temperature register holds the value with as many digits after the
// point as the controller's decimal point says (none or one), times ten for
// each; a tenths register (percent, P band) always has one. The one place
// that scales, in both directions.
#include "base/typed_number.h"

#include <cmath>
#include <cstdint>
#include <optional>

class Scale {
  public:
    constexpr Scale() = default; // whole units
    // The decimal point register's code: 0 whole units, anything else one digit.
    static constexpr Scale ofDecimalPoint(int code) { return Scale(code != 0 ? 1 : 0); }
    static constexpr Scale tenths() { return Scale(1); }

    // Digits after the point: 0 or 1.
    constexpr int digits() const { return digits_; }
    // The value a word stands for.
    constexpr double toValue(int16_t word) const { return double(word) / factor(); }
    // The word that holds the value, rounded to the nearest step (an exact
    // half away from zero, as the value is written: typed_number.h); nothing
    // when that does not fit 16 bits, so no value ever wraps into another one
    // on the wire.
    std::optional<int16_t> toWord(double value) const {
        const auto rounded = roundToSteps(value, digits_);
        if (!rounded || *rounded < -32768 || *rounded > 32767) return std::nullopt;
        return int16_t(*rounded);
    }
    // The lowest and highest value a register holds.
    constexpr double lowest() const { return toValue(-32768); }
    constexpr double highest() const { return toValue(32767); }

    constexpr bool operator==(const Scale&) const = default;

  private:
    constexpr explicit Scale(int digits) : digits_(digits) {}
    constexpr double factor() const { return digits_ != 0 ? 10.0 : 1.0; }
    int digits_ = 0;
};
