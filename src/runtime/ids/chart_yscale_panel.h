#pragma once
// Controls of panels/chart_yscale.ui the logic names.
#include "runtime/ids/control_spec.h"

namespace ChartYscalePanel {
inline constexpr const char* file = "chart_yscale.ui";
inline constexpr CtrlId closeButton = "closeButton";

inline constexpr ControlSpec controls[] = {
    {closeButton, ValueType::Button},
};
} // namespace ChartYscalePanel
