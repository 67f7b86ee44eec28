#pragma once
// Controls of panels/connection.ui the logic names.
#include "panelkit/expected_control.h"

namespace ConnectionPanel {
inline constexpr const char* file = "connection.ui";
// The panel's handle once the program loaded it (app/panel_set.cpp); 0 before.
inline int handle = 0;
inline constexpr CtrlId portRing = "portRing";
inline constexpr CtrlId baudRing = "baudRing";
inline constexpr CtrlId parityRing = "parityRing";
inline constexpr CtrlId stopBitsRing = "stopBitsRing";
inline constexpr CtrlId idNumeric = "idNumeric";
inline constexpr CtrlId alarmNoticeSwitch = "alarmNoticeSwitch";
inline constexpr CtrlId silenceNoticeSwitch = "silenceNoticeSwitch";
inline constexpr CtrlId testButton = "testButton";
inline constexpr CtrlId testResult = "testResult";
inline constexpr CtrlId okButton = "okButton";
inline constexpr CtrlId cancelButton = "cancelButton";

inline constexpr ExpectedControl controls[] = {
    {portRing, ValueType::Ring},
    {baudRing, ValueType::Ring},
    {parityRing, ValueType::Ring},
    {stopBitsRing, ValueType::Ring},
    {idNumeric, ValueType::Integer},
    {testButton, ValueType::Button},
    {testResult, ValueType::Text},
    {okButton, ValueType::Button},
    {cancelButton, ValueType::Button},
    {alarmNoticeSwitch, ValueType::Toggle},
    {silenceNoticeSwitch, ValueType::Toggle},
};
} // namespace ConnectionPanel
