#include "params/register_map.h"

#include "base/hex_text.h"
#include "link/registers.h"

namespace {

using R = ParmRecord;
using E = Encoding;

constexpr ParmRegister real(uint16_t reg, E enc, float R::*f, FieldRange range = {}) {
    return {reg, enc, f, nullptr, range};
}
constexpr ParmRegister word(uint16_t reg, E enc, int16_t R::*f, FieldRange range = {}) {
    return {reg, enc, nullptr, f, range};
}

constexpr double kNoTop = std::numeric_limits<double>::infinity();

constexpr ParmRegister kRegisters[] = {
    real(reg::setValue, E::Scaled, &R::sv),
    real(reg::pvOffset, E::Scaled, &R::pvOffset),
    real(reg::outputLevel, E::Tenths, &R::outputLevel, {0.0, 100.0}),
    real(reg::a1SetPoint, E::Scaled, &R::a1SetPoint),
    real(reg::a1Hysteresis, E::Scaled, &R::a1Hysteresis),
    word(reg::a1Function, E::ByteChoice, &R::a1Function),
    word(reg::a1Mode, E::ByteChoice, &R::a1Mode),
    word(reg::a1DelayTime, E::TimeWord, &R::a1DelayTime),
    real(reg::a2SetPoint, E::Scaled, &R::a2SetPoint),
    real(reg::a2Hysteresis, E::Scaled, &R::a2Hysteresis),
    word(reg::a2Function, E::ByteChoice, &R::a2Function),
    word(reg::a2Mode, E::ByteChoice, &R::a2Mode),
    word(reg::a2DelayTime, E::TimeWord, &R::a2DelayTime),
    real(reg::rampRate, E::Scaled, &R::rampRate),
    word(reg::softStartTime, E::TimeWord, &R::softStartTime),
    real(reg::pBand, E::Tenths, &R::pid11, {0.0, kNoTop}),
    word(reg::iTime, E::Word, &R::pid12),
    word(reg::dTime, E::Word, &R::pid13),
    real(reg::pid14, E::Tenths, &R::pid14),
    real(reg::pid15, E::Tenths, &R::pid15),
    real(reg::pid16, E::Scaled, &R::pid16),
    // 1 to 60 s; 0 is what a record holds before the block was ever read,
    // and parameter files saved then carry it.
    word(reg::cycleTime, E::Word, &R::cycleTime, {0, 60}),
    real(reg::pid18, E::Tenths, &R::pid18),
    real(reg::pid19, E::Scaled, &R::pid19),
    real(reg::pid1A, E::Scaled, &R::pid1A),
    word(reg::pid1B, E::Word, &R::pid1B),
    word(reg::sensorType, E::ByteChoice, &R::sensorType),
    word(reg::unitCF, E::ByteChoice, &R::unitCF),
    // Every scaled value depends on it: none or one digit, nothing else.
    word(reg::decimalPoint, E::ByteChoice, &R::decimalPoint, {0, 1}),
    word(reg::dirRev, E::ByteChoice, &R::dirRev),
    real(reg::loLimit, E::Scaled, &R::loLimit),
    real(reg::hiLimit, E::Scaled, &R::hiLimit),
    real(reg::reg25Tenths, E::Tenths, &R::reg25Tenths),
    word(reg::timeUnit, E::ByteChoice, &R::ptme),
    word(reg::erop, E::ByteChoice, &R::erop),
    word(reg::keyLock, E::ByteChoice, &R::lock),
    real(reg::swFilter, E::Scaled, &R::swFilter, {0.0, 9.9}),
};

// The step program's fields, in register order within a step: two segment
// times and a loop count of 16 bits, counted from 0; the action in the low
// byte, where the controller reads it; the set value and the band scaled.
constexpr RegisterField kStepFields[reg::perStep] = {
    {E::Word, {0, 65535}, {}}, {E::Scaled, {}, {}},
    {E::Word, {0, 65535}, {}}, {E::ByteChoice, {}, choices::stepAction},
    {E::Word, {0, 65535}, {}},
};
// A tolerance band is a distance from the set value.
constexpr RegisterField kBandField{E::Scaled, {0.0, kNoTop}, {}};

constexpr uint16_t kReadOrder[] = {
    reg::decimalPoint, reg::timeUnit,     reg::setValue,    reg::a1SetPoint, reg::a2SetPoint,
    reg::a1Hysteresis, reg::a2Hysteresis, reg::a1Function,  reg::a2Function, reg::a1Mode,
    reg::a2Mode,       reg::a1DelayTime,  reg::a2DelayTime, reg::rampRate,   reg::softStartTime,
    reg::outputLevel,  reg::controlMode,  reg::sensorType,  reg::pvOffset,   reg::swFilter,
    reg::dirRev,       reg::unitCF,       reg::erop,        reg::keyLock,    reg::loLimit,
    reg::hiLimit};

constexpr uint16_t kWriteOrder[] = {
    reg::decimalPoint, reg::timeUnit,  reg::setValue,    reg::a1SetPoint, reg::a1Hysteresis,
    reg::a1Function,   reg::a1Mode,    reg::a1DelayTime, reg::rampRate,   reg::softStartTime,
    reg::outputLevel,  reg::pBand,     reg::iTime,       reg::dTime,      reg::pid14,
    reg::pid15,        reg::cycleTime, reg::sensorType,  reg::pvOffset,   reg::dirRev,
    reg::unitCF,       reg::erop,      reg::keyLock,     reg::loLimit,    reg::hiLimit,
    reg::reg25Tenths};

static_assert(std::size(kReadOrder) == 26 && std::size(kWriteOrder) == 26);
// The bulk write stops when the decimal point is not taken; that only keeps
// every scaled value off the line while it goes first.
static_assert(kWriteOrder[0] == reg::decimalPoint);

// Every register by the name the panels and messages give it and, for the
// parameters `q7 read` lists, the key a script finds it by; in register order.
constexpr RegisterName kNames[] = {
    {reg::setValue, "SV", "sv"},
    {reg::pvOffset, "PV offset", "pv_offset"},
    {reg::outputLevel, "Output level", "output_level"},
    {reg::controlMode, "Control mode", "mode"},
    {reg::a1SetPoint, "Alarm 1 set point", "alarm1_set_point"},
    {reg::a1Hysteresis, "Alarm 1 hysteresis", "alarm1_hysteresis"},
    {reg::a1Function, "A1FU", "alarm1_function"},
    {reg::a1Mode, "A1MD", "alarm1_mode"},
    {reg::a1DelayTime, "Alarm 1 delay", "alarm1_delay"},
    {reg::a2SetPoint, "Alarm 2 set point", "alarm2_set_point"},
    {reg::a2Hysteresis, "Alarm 2 hysteresis", "alarm2_hysteresis"},
    {reg::a2Function, "Alarm 2 function", "alarm2_function"},
    {reg::a2Mode, "Alarm 2 mode", "alarm2_mode"},
    {reg::a2DelayTime, "Alarm 2 delay", "alarm2_delay"},
    {reg::rampRate, "Ramp rate", "ramp_rate"},
    {reg::softStartTime, "Soft start time", "soft_start_time"},
    {reg::pBand, "P band", nullptr},
    {reg::iTime, "I time", nullptr},
    {reg::dTime, "D time", nullptr},
    {reg::pid14, "PID tenths value", nullptr},
    {reg::pid15, "PID tenths value", nullptr},
    {reg::pid16, "PID temperature", nullptr},
    {reg::cycleTime, "Cycle time", nullptr},
    {reg::pid18, "PID tenths value", nullptr},
    {reg::pid19, "PID temperature", nullptr},
    {reg::pid1A, "PID temperature", nullptr},
    {reg::pid1B, "PID whole number", nullptr},
    {reg::sensorType, "Sensor type", "sensor_type"},
    {reg::unitCF, "Unit (C/F)", "unit"},
    {reg::decimalPoint, "Decimal point", "decimal_point"},
    {reg::dirRev, "Action (Dir/Rev)", "action"},
    {reg::loLimit, "Lo limit", "lo_limit"},
    {reg::hiLimit, "Hi limit", "hi_limit"},
    {reg::timeUnit, "Time unit (PTME)", "time_unit"},
    {reg::erop, "EROP", "erop"},
    {reg::keyLock, "LOCK", "lock"},
    {reg::swFilter, "SW filter", "sw_filter"},
    // Read only: not parameters, named for the debug panel's block read.
    {reg::pv, "PV", nullptr},
    {reg::svRead, "SV (running)", nullptr},
    {reg::status, "Run status", nullptr},
    {reg::identification, "Identification", nullptr},
};

constexpr int listedCount() {
    int n = 0;
    for (const RegisterName& r : kNames)
        n += r.key != nullptr;
    return n;
}
// The parameters the main panel shows, which the bulk read reads.
static_assert(listedCount() == 26);

} // namespace

std::string parmRegisterName(uint16_t reg) {
    for (const RegisterName& n : kNames)
        if (n.reg == reg) return std::string(n.label) + " (" + hexWord(reg) + ")";
    return "Register " + hexWord(reg);
}

std::string parmRegisterLines(std::span<const uint16_t> regs) {
    std::string out;
    for (uint16_t reg : regs)
        out += "    " + parmRegisterName(reg) + "\n";
    return out;
}

std::string parmRegisterLabel(uint16_t reg) {
    for (const RegisterName& n : kNames)
        if (n.reg == reg) return n.label;
    return "Register " + hexWord(reg);
}

std::span<const RegisterName> registerNames() {
    return kNames;
}

std::span<const ParmRegister> parmRegisters() {
    return kRegisters;
}

const ParmRegister* findParmRegister(uint16_t reg) {
    for (const ParmRegister& r : kRegisters)
        if (r.reg == reg) return &r;
    return nullptr;
}

std::optional<RegisterField> registerField(uint16_t reg) {
    if (const ParmRegister* r = findParmRegister(reg)) {
        const ChoiceTable* table = choices::tableFor(reg);
        return RegisterField{r->enc, r->range, table ? table->choices : std::span<const Choice>{}};
    }
    if (reg == reg::band) return kBandField;
    const int offset = reg - reg::firstStep;
    if (offset >= 0 && offset < reg::steps * reg::perStep)
        return kStepFields[offset % reg::perStep];
    return std::nullopt;
}

std::span<const uint16_t> bulkReadOrder() {
    return kReadOrder;
}
std::span<const uint16_t> bulkWriteOrder() {
    return kWriteOrder;
}
