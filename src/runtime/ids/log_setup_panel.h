#pragma once
// Controls of panels/log_setup.ui the logic names.
#include "runtime/ids/control_spec.h"

namespace LogSetupPanel {
inline constexpr const char* file = "log_setup.ui";
inline constexpr CtrlId exitButton = "exitButton";

inline constexpr ControlSpec controls[] = {
    {exitButton, ValueType::Button},
};
} // namespace LogSetupPanel
