#pragma once
// Controls of panels/pid.ui the logic names.
#include "runtime/ids/control_spec.h"

namespace PidPanel {
inline constexpr const char* file = "pid.ui";
inline constexpr CtrlId exitButton = "exitButton";

// Numerics of the scaled PID registers; their digits follow the decimal point.
inline constexpr CtrlId pid16Numeric = "pid16Numeric";
inline constexpr CtrlId pid19Numeric = "pid19Numeric";
inline constexpr CtrlId pid1ANumeric = "pid1ANumeric";

inline constexpr ControlSpec controls[] = {
    {exitButton, ValueType::Button},
};
} // namespace PidPanel
