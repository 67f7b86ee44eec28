#include "sim/setpoint_ramp.h"

#include <algorithm>
#include <cmath>

namespace sim {

void SetpointRamp::advance(double seconds, RegisterMap& registers) {
    const double target = registers.getSigned(regs::kSv);
    const double rate = registers.getSigned(regs::kRampRate);
    const bool ramps =
        registers.variant() == kVariant && rate > 0 && registers.mode() != Mode::Program;
    // Without a ramp the working SV is the register's, so a ramp that begins
    // later starts from the SV the loop was regulating to.
    if (!ramps || !working_) {
        working_ = target;
        registers.setRampingSv(std::nullopt);
        return;
    }
    const double perSecond = rate / ((registers.get(regs::kTimeUnit) & 0xFF) == 1 ? 60.0 : 1.0);
    const double move = perSecond * std::max(seconds, 0.0);
    *working_ = target > *working_ ? std::min(target, *working_ + move)
                                   : std::max(target, *working_ - move);
    if (*working_ == target)
        registers.setRampingSv(std::nullopt);
    else
        registers.setRampingSv(int16_t(std::lround(std::clamp(*working_, -32768.0, 32767.0))));
}

} // namespace sim
