#pragma once
// What the step program panel's Exit does with a controller that is not Off:
// the operator may only have looked, so Exit asks first.
#include "link/control_mode.h"

#include <optional>

enum class ExitChoice { switchOff, keepMode, stay };

// Asks whether to switch the controller Off, naming the mode it reported
// (nothing: it did not say). Escape stays on the panel.
ExitChoice askBeforeOff(std::optional<ControlMode> held);
