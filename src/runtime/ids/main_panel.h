#pragma once
// Controls of panels/main.ui the logic names.
#include "runtime/ids/control_spec.h"

namespace MainPanel {
inline constexpr const char* file = "main.ui";
inline constexpr CtrlId idNumeric = "idNumeric";
inline constexpr CtrlId portSelector = "portSelector";
inline constexpr CtrlId identificationDisplay = "identificationDisplay";
inline constexpr CtrlId aboutButton = "aboutButton";
inline constexpr CtrlId quitButton = "quitButton";
inline constexpr CtrlId exitButton = "exitButton";
inline constexpr CtrlId rs232StatusButton = "rs232StatusButton";
inline constexpr CtrlId pvPollTimer = "pvPollTimer";
inline constexpr CtrlId connectionLed = "connectionLed";

inline constexpr ControlSpec controls[] = {
    {idNumeric, ValueType::Integer},     {portSelector, ValueType::Ring},
    {identificationDisplay, ValueType::Integer}, {aboutButton, ValueType::Button},
    {quitButton, ValueType::Button},     {exitButton, ValueType::Button},
    {rs232StatusButton, ValueType::Button}, {pvPollTimer, ValueType::Timer},
    {connectionLed, ValueType::Led},
};
} // namespace MainPanel
