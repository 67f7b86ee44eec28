#pragma once
// Controls of panels/log_setup.ui the logic names.
#include "panelkit/expected_control.h"

namespace LogSetupPanel {
inline constexpr const char* file = "log_setup.ui";
// The panel's handle once the program loaded it (app/panel_set.cpp); 0 before.
inline int handle = 0;
inline constexpr CtrlId intervalKnob = "intervalKnob";
inline constexpr CtrlId logSwitch = "logSwitch";
inline constexpr CtrlId switchPlaceholder = "switchPlaceholder";
inline constexpr CtrlId timingHelp = "timingHelp";
inline constexpr CtrlId exitButton = "exitButton";
inline constexpr CtrlId logFileName = "logFileName";
inline constexpr CtrlId openFolderButton = "openFolderButton";

inline constexpr ExpectedControl controls[] = {
    {intervalKnob, ValueType::Real},       {logSwitch, ValueType::Toggle},
    {switchPlaceholder, ValueType::Any},   {timingHelp, ValueType::Any},
    {exitButton, ValueType::Button},       {logFileName, ValueType::Text},
    {openFolderButton, ValueType::Button},
};
} // namespace LogSetupPanel
