#pragma once
// Controls of panels/eng_code.ui the logic names.
#include "panelkit/expected_control.h"

namespace EngCodePanel {
inline constexpr const char* file = "eng_code.ui";
inline constexpr CtrlId codeNumeric = "codeNumeric";
inline constexpr CtrlId okButton = "okButton";
inline constexpr CtrlId cancelButton = "cancelButton";

inline constexpr ExpectedControl controls[] = {
    {codeNumeric, ValueType::Integer},
    {okButton, ValueType::Button},
    {cancelButton, ValueType::Button},
};
} // namespace EngCodePanel
