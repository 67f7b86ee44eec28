#pragma once
// Controls of panels/line.ui the logic names.
#include "panelkit/expected_control.h"

namespace LinePanel {
inline constexpr const char* file = "line.ui";
// The panel's handle once the program loaded it (app/panel_set.cpp); 0 before.
inline int handle = 0;
inline constexpr CtrlId portDisplay = "portDisplay";
inline constexpr CtrlId intervalEntry = "intervalEntry";
inline constexpr CtrlId cycleDisplay = "cycleDisplay";
inline constexpr CtrlId controllerTable = "controllerTable";
inline constexpr CtrlId idEntry = "idEntry";
inline constexpr CtrlId addButton = "addButton";
inline constexpr CtrlId removeButton = "removeButton";
inline constexpr CtrlId scanButton = "scanButton";
inline constexpr CtrlId scanProgress = "scanProgress";
inline constexpr CtrlId cancelScanButton = "cancelScanButton";
inline constexpr CtrlId showButton = "showButton";
inline constexpr CtrlId closeButton = "closeButton";
inline constexpr CtrlId lineNote = "lineNote";
inline constexpr CtrlId linePollTimer = "linePollTimer";

inline constexpr ExpectedControl controls[] = {
    {portDisplay, ValueType::Text},    {intervalEntry, ValueType::Real},
    {cycleDisplay, ValueType::Text},   {controllerTable, ValueType::Any},
    {idEntry, ValueType::Integer},     {addButton, ValueType::Button},
    {removeButton, ValueType::Button}, {scanButton, ValueType::Button},
    {showButton, ValueType::Button},   {closeButton, ValueType::Button},
    {lineNote, ValueType::Text},       {linePollTimer, ValueType::Timer},
    {scanProgress, ValueType::Any},    {cancelScanButton, ValueType::Button},
};
} // namespace LinePanel
