#pragma once
// Controls of panels/chart_yscale.ui the logic names.
#include "panelkit/expected_control.h"

namespace ChartYscalePanel {
inline constexpr const char* file = "chart_yscale.ui";
// The panel's handle once the program loaded it (app/panel_set.cpp); 0 before.
inline int handle = 0;
inline constexpr CtrlId yMaxNumeric = "yMaxNumeric";
inline constexpr CtrlId yMinNumeric = "yMinNumeric";
inline constexpr CtrlId pointsNumeric = "pointsNumeric";
inline constexpr CtrlId closeButton = "closeButton";
inline constexpr CtrlId autoScaleSwitch = "autoScaleSwitch";

inline constexpr ExpectedControl controls[] = {
    {yMaxNumeric, ValueType::Real},       {yMinNumeric, ValueType::Real},
    {pointsNumeric, ValueType::Integer},  {closeButton, ValueType::Button},
    {autoScaleSwitch, ValueType::Toggle},
};
} // namespace ChartYscalePanel
