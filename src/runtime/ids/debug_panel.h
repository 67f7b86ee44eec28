#pragma once
// Controls of panels/debug.ui the logic names.
#include "runtime/ids/control_spec.h"

namespace DebugPanel {
inline constexpr const char* file = "debug.ui";
inline constexpr CtrlId exitButton = "exitButton";

inline constexpr CtrlId lockRing = "lockRing";

inline constexpr ControlSpec controls[] = {
    {exitButton, ValueType::Button},
};
} // namespace DebugPanel
