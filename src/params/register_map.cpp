#include "params/register_map.h"

#include <cstdio>

namespace {

using R = ParmRecord;
using E = Encoding;

constexpr ParmRegister real(uint16_t reg, E enc, float R::*f) { return {reg, enc, f, nullptr}; }
constexpr ParmRegister word(uint16_t reg, E enc, int16_t R::*f) { return {reg, enc, nullptr, f}; }

constexpr ParmRegister kRegisters[] = {
    real(0x00, E::Scaled, &R::sv),           real(0x01, E::Scaled, &R::pvOffset),
    real(0x02, E::Tenths, &R::outputLevel),  real(0x04, E::Scaled, &R::a1SetPoint),
    real(0x05, E::Scaled, &R::a1Hysteresis), word(0x06, E::ByteChoice, &R::a1Function),
    word(0x07, E::ByteChoice, &R::a1Mode),   word(0x08, E::TimeWord, &R::a1DelayTime),
    real(0x09, E::Scaled, &R::a2SetPoint),   real(0x0A, E::Scaled, &R::a2Hysteresis),
    word(0x0B, E::ByteChoice, &R::a2Function), word(0x0C, E::ByteChoice, &R::a2Mode),
    word(0x0D, E::TimeWord, &R::a2DelayTime), real(0x0E, E::Scaled, &R::rampRate),
    word(0x0F, E::TimeWord, &R::softStartTime), real(0x11, E::Tenths, &R::pid11),
    word(0x12, E::Word, &R::pid12),          word(0x13, E::Word, &R::pid13),
    real(0x14, E::Tenths, &R::pid14),        real(0x15, E::Tenths, &R::pid15),
    real(0x16, E::Scaled, &R::pid16),        word(0x17, E::Word, &R::cycleTime),
    real(0x18, E::Tenths, &R::pid18),        real(0x19, E::Scaled, &R::pid19),
    real(0x1A, E::Scaled, &R::pid1A),        word(0x1B, E::Word, &R::pid1B),
    word(0x1C, E::ByteChoice, &R::sensorType), word(0x20, E::ByteChoice, &R::unitCF),
    word(0x21, E::ByteChoice, &R::decimalPoint), word(0x22, E::ByteChoice, &R::dirRev),
    real(0x23, E::Scaled, &R::loLimit),      real(0x24, E::Scaled, &R::hiLimit),
    real(0x25, E::Tenths, &R::reg25Tenths),  word(0x26, E::ByteChoice, &R::ptme),
    word(0x27, E::ByteChoice, &R::erop),     word(0x28, E::ByteChoice, &R::lock),
    real(0x29, E::Scaled, &R::swFilter),
};

constexpr uint16_t kReadOrder[] = {0x21, 0x26, 0x00, 0x04, 0x09, 0x05, 0x0A, 0x06, 0x0B,
                                   0x07, 0x0C, 0x08, 0x0D, 0x0E, 0x0F, 0x02, 0x03, 0x1C,
                                   0x01, 0x29, 0x22, 0x20, 0x27, 0x28, 0x23, 0x24};

constexpr uint16_t kWriteOrder[] = {0x21, 0x26, 0x00, 0x04, 0x05, 0x06, 0x07, 0x08, 0x0E,
                                    0x0F, 0x02, 0x11, 0x12, 0x13, 0x14, 0x15, 0x17, 0x1C,
                                    0x01, 0x22, 0x20, 0x27, 0x28, 0x23, 0x24, 0x25};

static_assert(std::size(kReadOrder) == 26 && std::size(kWriteOrder) == 26);
// The bulk write stops when the decimal point is not taken; that only keeps
// every scaled value off the line while it goes first.
static_assert(kWriteOrder[0] == 0x21);

struct RegisterName {
    uint16_t reg;
    const char* name;
};

constexpr RegisterName kNames[] = {
    {0x00, "SV"},           {0x01, "PV offset"},          {0x02, "Output level"},
    {0x03, "Control mode"}, {0x04, "Alarm 1 set point"},  {0x05, "Alarm 1 hysteresis"},
    {0x06, "A1FU"},         {0x07, "A1MD"},               {0x08, "Alarm 1 delay"},
    {0x09, "Alarm 2 set point"}, {0x0A, "Alarm 2 hysteresis"}, {0x0B, "Alarm 2 function"},
    {0x0C, "Alarm 2 mode"}, {0x0D, "Alarm 2 delay"},      {0x0E, "Ramp rate"},
    {0x0F, "Soft start time"}, {0x17, "Cycle time"},      {0x1C, "Sensor type"},
    {0x20, "Unit (C/F)"},   {0x21, "Decimal point"},      {0x22, "Action (Dir/Rev)"},
    {0x23, "Lo limit"},     {0x24, "Hi limit"},           {0x26, "Time unit (PTME)"},
    {0x27, "EROP"},         {0x28, "LOCK"},               {0x29, "SW filter"},
};

} // namespace

std::string parmRegisterName(uint16_t reg) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%04X", reg);
    for (const RegisterName& n : kNames)
        if (n.reg == reg) return std::string(n.name) + " (" + hex + ")";
    return std::string("Register ") + hex;
}

std::span<const ParmRegister> parmRegisters() { return kRegisters; }

const ParmRegister* findParmRegister(uint16_t reg) {
    for (const ParmRegister& r : kRegisters)
        if (r.reg == reg) return &r;
    return nullptr;
}

std::span<const uint16_t> bulkReadOrder() { return kReadOrder; }
std::span<const uint16_t> bulkWriteOrder() { return kWriteOrder; }
