#pragma once
// Controls of panels/pid.ui the logic names.
#include "runtime/ids/control_spec.h"

namespace PidPanel {
inline constexpr const char* file = "pid.ui";
inline constexpr CtrlId exitButton = "exitButton";

inline constexpr ControlSpec controls[] = {
    {exitButton, ValueType::Button},
};
} // namespace PidPanel
