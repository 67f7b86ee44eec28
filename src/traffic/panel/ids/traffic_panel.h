#pragma once
// Controls of panels/traffic.ui the logic names.
#include "panelkit/expected_control.h"

namespace TrafficPanel {
inline constexpr const char* file = "traffic.ui";
// The panel's handle once the program loaded it (app/panel_set.cpp); 0 before.
inline int handle = 0;
inline constexpr CtrlId failuresOnlySwitch = "failuresOnlySwitch";
inline constexpr CtrlId pauseButton = "pauseButton";
inline constexpr CtrlId clearButton = "clearButton";
inline constexpr CtrlId saveButton = "saveButton";
inline constexpr CtrlId frameTable = "frameTable";
inline constexpr CtrlId statisticsNames = "statisticsNames";
inline constexpr CtrlId statisticsDisplay = "statisticsDisplay";
inline constexpr CtrlId resetStatisticsButton = "resetStatisticsButton";
inline constexpr CtrlId closeButton = "closeButton";

inline constexpr ExpectedControl controls[] = {
    {failuresOnlySwitch, ValueType::Toggle},
    {pauseButton, ValueType::Toggle},
    {clearButton, ValueType::Button},
    {saveButton, ValueType::Button},
    {frameTable, ValueType::Any},
    {statisticsDisplay, ValueType::Text},
    {statisticsNames, ValueType::Text},
    {resetStatisticsButton, ValueType::Button},
    {closeButton, ValueType::Button},
};
} // namespace TrafficPanel
