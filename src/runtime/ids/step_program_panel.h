#pragma once
// Controls of panels/step_program.ui the logic names.
#include "runtime/ids/control_spec.h"

namespace StepProgramPanel {
inline constexpr const char* file = "step_program.ui";
inline constexpr CtrlId exitButton = "exitButton";

inline constexpr ControlSpec controls[] = {
    {exitButton, ValueType::Button},
};
} // namespace StepProgramPanel
