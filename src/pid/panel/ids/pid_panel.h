#pragma once
// Controls of panels/pid.ui the logic names.
#include "panelkit/expected_control.h"

namespace PidPanel {
inline constexpr const char* file = "pid.ui";
// The panel's handle once the program loaded it (app/panel_set.cpp); 0 before.
inline int handle = 0;
// One entry per register of the PID block, 0x11 to 0x1B.
inline constexpr CtrlId pid11Numeric = "pid11Numeric";
inline constexpr CtrlId pid12Numeric = "pid12Numeric";
inline constexpr CtrlId pid13Numeric = "pid13Numeric";
inline constexpr CtrlId pid14Numeric = "pid14Numeric";
inline constexpr CtrlId pid15Numeric = "pid15Numeric";
// Numerics of the scaled PID registers; their digits follow the decimal point.
inline constexpr CtrlId pid16Numeric = "pid16Numeric";
inline constexpr CtrlId cycleTimeNumeric = "cycleTimeNumeric";
inline constexpr CtrlId pid18Numeric = "pid18Numeric";
inline constexpr CtrlId pid19Numeric = "pid19Numeric";
inline constexpr CtrlId pid1ANumeric = "pid1ANumeric";
inline constexpr CtrlId pid1BNumeric = "pid1BNumeric";

inline constexpr CtrlId readButton = "readButton";
inline constexpr CtrlId writeButton = "writeButton";
inline constexpr CtrlId loadButton = "loadButton";
inline constexpr CtrlId saveButton = "saveButton";
inline constexpr CtrlId exitButton = "exitButton";

inline constexpr ExpectedControl controls[] = {
    {pid11Numeric, ValueType::Real},        {pid12Numeric, ValueType::Integer},
    {pid13Numeric, ValueType::Integer},     {pid14Numeric, ValueType::Real},
    {pid15Numeric, ValueType::Real},        {pid16Numeric, ValueType::Real},
    {cycleTimeNumeric, ValueType::Integer}, {pid18Numeric, ValueType::Real},
    {pid19Numeric, ValueType::Real},        {pid1ANumeric, ValueType::Real},
    {pid1BNumeric, ValueType::Integer},     {readButton, ValueType::Button},
    {writeButton, ValueType::Button},       {loadButton, ValueType::Button},
    {saveButton, ValueType::Button},        {exitButton, ValueType::Button},
};
} // namespace PidPanel
