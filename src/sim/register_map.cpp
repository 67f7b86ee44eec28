#include "sim/register_map.h"

namespace sim {

namespace {

constexpr uint8_t kIllegalAddress = 0x02;
constexpr uint8_t kIllegalValue = 0x03;

bool inBlock(uint32_t address) {
    return address <= regs::kLastProgram;
}

bool isLive(uint32_t address) {
    return (address >= regs::kPv && address <= regs::kRunStatus) || address == regs::kIdent;
}

bool isParameterOrProgram(uint32_t address) {
    return address <= regs::kLastParameter ||
           (address >= regs::kFirstProgram && address <= regs::kLastProgram);
}

} // namespace

RegisterMap::RegisterMap(char variant) {
    // Power-on contents of a freshly configured heating loop at room temperature.
    block_[regs::kSv] = 250;
    block_[regs::kPvOffset] = 0;
    block_[regs::kOutputLevel] = 0;
    block_[regs::kMode] = static_cast<uint16_t>(Mode::On);
    // High alarms at 100.0, far above room temperature, so both start off.
    block_[regs::kAlarm1Sp] = 1000;
    block_[regs::kAlarm1Hys] = 10;
    block_[regs::kAlarm1Fn] = 1;
    block_[regs::kAlarm2Sp] = 1000; // alarm 2 mirrors alarm 1
    block_[regs::kAlarm2Hys] = 10;
    block_[regs::kAlarm2Fn] = 1;
    block_[regs::kPBand] = 50;
    block_[regs::kIntegral] = 240;
    block_[regs::kDerivative] = 60;
    block_[regs::kCycleTime] = 15;
    block_[regs::kDecimalPoint] = 1;
    block_[regs::kAction] = 1;
    block_[regs::kLoLimit] = static_cast<uint16_t>(int16_t{-2000});
    block_[regs::kHiLimit] = 12000;
    pv_ = 235;
    ident_ = static_cast<uint16_t>((static_cast<uint8_t>(variant) << 8) | kModelNumber);
}

bool RegisterMap::readable(uint16_t first, int count) {
    if (count < 1) return false;
    const uint32_t last = uint32_t{first} + uint32_t(count) - 1;
    // The gap between parameters and the step program reads as zeros so one
    // request can fetch the whole block.
    if (inBlock(first) && inBlock(last)) return true;
    for (uint32_t a = first; a <= last; ++a)
        if (!isLive(a)) return false;
    return true;
}

bool RegisterMap::writable(uint16_t address) {
    return isParameterOrProgram(address);
}

uint16_t RegisterMap::get(uint16_t address) const {
    if (inBlock(address)) return block_[address];
    switch (address) {
    case regs::kPv:
        return pv_;
    case regs::kSvLive:
        return rampingSv_ ? uint16_t(*rampingSv_) : block_[regs::kSv];
    case regs::kOutput:
        return output_;
    case regs::kRunStatus:
        return runStatus_ | alarmOutputs_;
    case regs::kIdent:
        return ident_;
    default:
        return 0;
    }
}

void RegisterMap::set(uint16_t address, uint16_t value) {
    if (inBlock(address)) {
        block_[address] = value;
        return;
    }
    switch (address) {
    case regs::kPv:
        pv_ = value;
        break;
    case regs::kSvLive:
        block_[regs::kSv] = value;
        rampingSv_.reset();
        break;
    case regs::kOutput:
        output_ = value;
        break;
    case regs::kRunStatus:
        runStatus_ = value;
        break;
    case regs::kIdent:
        ident_ = value;
        break;
    default:
        break;
    }
}

uint8_t RegisterMap::writeFromLine(uint16_t address, uint16_t value) {
    if (!writable(address)) return kIllegalAddress;
    if (address == regs::kSv) {
        const int16_t sv = static_cast<int16_t>(value);
        if (sv < getSigned(regs::kLoLimit) || sv > getSigned(regs::kHiLimit)) return kIllegalValue;
    }
    block_[address] = value;
    return 0;
}

} // namespace sim
