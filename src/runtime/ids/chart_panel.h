#pragma once
// Controls of panels/chart.ui the logic names.
#include "runtime/ids/control_spec.h"

namespace ChartPanel {
inline constexpr const char* file = "chart.ui";
inline constexpr CtrlId chartTimer = "chartTimer";
inline constexpr CtrlId stripChart = "stripChart";
inline constexpr CtrlId exitButton = "exitButton";

inline constexpr CtrlId svIndicator = "svIndicator";
inline constexpr CtrlId pvIndicator = "pvIndicator";

inline constexpr ControlSpec controls[] = {
    {chartTimer, ValueType::Timer},
    {stripChart, ValueType::Chart},
    {exitButton, ValueType::Button},
};
} // namespace ChartPanel
