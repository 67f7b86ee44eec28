#pragma once
// Model D's set value ramp: the SV the loop regulates to moves toward the SV
// register at the ramp rate (0x000E, in the SV's own units per second with
// the MM:SS time unit, per minute with HH:MM), and 0x1001 shows it on the
// way. A rate of 0 is no ramp: the loop takes a new SV at once. The step
// program makes its own ramps, so it is left alone while it runs.
#include "sim/register_map.h"

#include <optional>

namespace sim {

class SetpointRamp {
  public:
    static constexpr char kVariant = 'D';

    // Call after the step program and before the process model.
    void advance(double seconds, RegisterMap& registers);

  private:
    std::optional<double> working_; // where the ramp stands, in register units
};

} // namespace sim
