#pragma once
// The controller's two alarm outputs, switched from PV by each alarm's
// function, set point and hysteresis, and shown in the run status word.
#include "sim/register_map.h"

#include <array>

namespace sim {

class AlarmOutputs {
  public:
    // The status word's bits for alarm 1 and alarm 2, beside the program state.
    static constexpr uint16_t kAlarm1Bit = 0x0100;
    static constexpr uint16_t kAlarm2Bit = 0x0200;

    // Call after the process model has written PV.
    void update(RegisterMap& registers);

  private:
    std::array<bool, 2> on_{};
};

} // namespace sim
