#include "sim/alarm_outputs.h"

#include <algorithm>

namespace sim {

namespace {

enum Function : uint16_t { kOff = 0, kHigh, kLow, kDevHigh, kDevLow, kOutsideBand, kInsideBand };

struct Alarm {
    uint16_t setPoint, hysteresis, function;
};

constexpr std::array<Alarm, 2> kAlarms{{{regs::kAlarm1Sp, regs::kAlarm1Hys, regs::kAlarm1Fn},
                                        {regs::kAlarm2Sp, regs::kAlarm2Hys, regs::kAlarm2Fn}}};

// Whether the alarm condition holds, eased by margin: 0 to turn the output
// on, the hysteresis to keep it on, so it turns off only once PV is back by that much.
bool condition(uint16_t function, int pv, int sv, int alarmSp, int margin) {
    const auto above = [&](int limit) { return pv > limit - margin; };
    const auto below = [&](int limit) { return pv < limit + margin; };
    switch (function) {
    case kHigh:
        return above(alarmSp);
    case kLow:
        return below(alarmSp);
    case kDevHigh:
        return above(sv + alarmSp);
    case kDevLow:
        return below(sv - alarmSp);
    case kOutsideBand:
        return above(sv + alarmSp) || below(sv - alarmSp);
    case kInsideBand:
        return pv <= sv + alarmSp + margin && pv >= sv - alarmSp - margin;
    case kOff:
    default: // a code the controller does not know switches nothing
        return false;
    }
}

} // namespace

void AlarmOutputs::update(RegisterMap& registers) {
    uint16_t bits = 0;
    for (std::size_t i = 0; i < kAlarms.size(); ++i) {
        const Alarm& a = kAlarms[i];
        const int hysteresis = std::max<int>(registers.getSigned(a.hysteresis), 0);
        // Off is standby: the alarms are switched off with the control output.
        on_[i] = registers.mode() != Mode::Off &&
                 condition(registers.get(a.function), registers.getSigned(regs::kPv),
                           registers.getSigned(regs::kSv), registers.getSigned(a.setPoint),
                           on_[i] ? hysteresis : 0);
        if (on_[i]) bits |= i == 0 ? kAlarm1Bit : kAlarm2Bit;
    }
    registers.setAlarmOutputs(bits);
}

} // namespace sim
