#pragma once
// Controls of panels/chart.ui the logic names.
#include "panelkit/expected_control.h"

namespace ChartPanel {
inline constexpr const char* file = "chart.ui";
// The panel's handle once the program loaded it (app/panel_set.cpp); 0 before.
inline int handle = 0;
inline constexpr CtrlId plotButton = "plotButton";
inline constexpr CtrlId chartTimer = "chartTimer";
inline constexpr CtrlId stripChart = "stripChart";
inline constexpr CtrlId svIndicator = "svIndicator";
inline constexpr CtrlId pvIndicator = "pvIndicator";
inline constexpr CtrlId loggingLed = "loggingLed";
inline constexpr CtrlId clearButton = "clearButton";
inline constexpr CtrlId yScaleButton = "yScaleButton";
inline constexpr CtrlId logSetupButton = "logSetupButton";
inline constexpr CtrlId logTimerButton = "logTimerButton";
inline constexpr CtrlId exitButton = "exitButton";
inline constexpr CtrlId saveImageButton = "saveImageButton";

inline constexpr ExpectedControl controls[] = {
    {plotButton, ValueType::Toggle},     {chartTimer, ValueType::Timer},
    {stripChart, ValueType::Chart},      {svIndicator, ValueType::Real},
    {pvIndicator, ValueType::Real},      {loggingLed, ValueType::Led},
    {clearButton, ValueType::Button},    {yScaleButton, ValueType::Button},
    {logSetupButton, ValueType::Button}, {logTimerButton, ValueType::Button},
    {exitButton, ValueType::Button},     {saveImageButton, ValueType::Button},
};
} // namespace ChartPanel
