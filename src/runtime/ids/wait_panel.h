#pragma once
// Controls of panels/wait.ui the logic names.
#include "runtime/ids/control_spec.h"

namespace WaitPanel {
inline constexpr const char* file = "wait.ui";
inline constexpr CtrlId waitLabel = "waitLabel";

inline constexpr ControlSpec controls[] = {
    {waitLabel, ValueType::Text},
};
} // namespace WaitPanel
