#pragma once
// Controls of panels/wait.ui the logic names.
#include "panelkit/expected_control.h"

namespace WaitPanel {
inline constexpr const char* file = "wait.ui";
// The panel's handle once the program loaded it (app/panel_set.cpp); 0 before.
inline int handle = 0;
inline constexpr CtrlId waitLabel = "waitLabel";
inline constexpr CtrlId cancelButton = "cancelButton";

inline constexpr ExpectedControl controls[] = {
    {waitLabel, ValueType::Text},
    {cancelButton, ValueType::Toggle},
};
} // namespace WaitPanel
