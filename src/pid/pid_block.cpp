#include "pid/pid_block.h"

#include "params/field_check.h"

#include <cmath>

namespace {

using R = ParmRecord;

constexpr PidField real(uint16_t reg, Encoding enc, float R::*field, const char* label) {
    return {reg, enc, field, nullptr, label};
}
constexpr PidField word(uint16_t reg, int16_t R::*field, const char* label) {
    return {reg, Encoding::Word, nullptr, field, label};
}

// The controller does not say what the values past P, I and D are; they are
// named by what they hold: a number in tenths, a temperature (which follows
// the decimal point) or a whole number.
constexpr std::array<PidField, kPidRegisterCount> kFields = {
    real(reg::pBand, Encoding::Tenths, &R::pid11, "P band (0x11)"),
    word(reg::iTime, &R::pid12, "I time (0x12)"),
    word(reg::dTime, &R::pid13, "D time (0x13)"),
    real(reg::pid14, Encoding::Tenths, &R::pid14, "tenths value (0x14)"),
    real(reg::pid15, Encoding::Tenths, &R::pid15, "tenths value (0x15)"),
    real(reg::pid16, Encoding::Scaled, &R::pid16, "temperature (0x16)"),
    word(reg::cycleTime, &R::cycleTime, "cycle time (0x17)"),
    real(reg::pid18, Encoding::Tenths, &R::pid18, "tenths value (0x18)"),
    real(reg::pid19, Encoding::Scaled, &R::pid19, "temperature (0x19)"),
    real(reg::pid1A, Encoding::Scaled, &R::pid1A, "temperature (0x1A)"),
    word(reg::pid1B, &R::pid1B, "whole number (0x1B)"),
};

} // namespace

const std::array<PidField, kPidRegisterCount>& pidFields() {
    return kFields;
}

std::optional<int16_t> pidRegisterValue(const PidField& f, const ParmRecord& record,
                                        Scale decimalPoint) {
    if (f.real) return encodeReal(f.encoding, record.*f.real, decimalPoint);
    return encodeInt(f.encoding, record.*f.word);
}

void setPidFromRegister(const PidField& f, ParmRecord& record, int16_t reg, Scale decimalPoint) {
    const uint8_t high = uint8_t(uint16_t(reg) >> 8), low = uint8_t(reg & 0xFF);
    if (f.real)
        record.*f.real = decodeReal(f.encoding, high, low, decimalPoint);
    else
        record.*f.word = decodeInt(f.encoding, high, low);
}

std::string pidMisfits(const ParmRecord& record, Scale decimalPoint) {
    std::string names;
    for (const PidField& f : kFields) {
        const RegisterField field = *registerField(f.reg);
        const double v = f.real ? double(record.*f.real) : double(record.*f.word);
        const bool fits =
            !f.real || (std::isfinite(v) && realFitsRegister(field.enc, v, decimalPoint));
        if (fits && checkField(field, v, f.label).fit == FieldFit::fits) continue;
        if (!names.empty()) names += ", ";
        names += f.label;
    }
    return names;
}
