#pragma once
// Controls of panels/step_program.ui the logic names.
#include "runtime/ids/control_spec.h"

namespace StepProgramPanel {
inline constexpr const char* file = "step_program.ui";
inline constexpr CtrlId exitButton = "exitButton";

// Step k's set value entry; the other entries of a step follow the same pattern.
inline constexpr CtrlId stepSv[8] = {"stepSv0", "stepSv1", "stepSv2", "stepSv3",
                                     "stepSv4", "stepSv5", "stepSv6", "stepSv7"};
inline constexpr CtrlId bandEntry = "bandEntry";

inline constexpr ControlSpec controls[] = {
    {exitButton, ValueType::Button},
};
} // namespace StepProgramPanel
