#pragma once
// Controls of panels/eng_code.ui the logic names.
#include "panelkit/expected_control.h"

namespace EngCodePanel {
inline constexpr const char* file = "eng_code.ui";
// The panel's handle once the program loaded it (app/panel_set.cpp); 0 before.
inline int handle = 0;
inline constexpr CtrlId codeNumeric = "codeNumeric";
inline constexpr CtrlId okButton = "okButton";
inline constexpr CtrlId cancelButton = "cancelButton";

inline constexpr ExpectedControl controls[] = {
    {codeNumeric, ValueType::Integer},
    {okButton, ValueType::Button},
    {cancelButton, ValueType::Button},
};
} // namespace EngCodePanel
