#pragma once
// Writes of the control mode, checked like every other register write. Each
// caller keeps its own guard and pauses around them.
#include "link/control_mode.h"
#include "link/results.h"

#include <optional>
#include <string>
#include <string_view>

class Controller;

// Writes mode's code to the control mode register.
Outcome writeControlMode(Controller& c, ControlMode mode);
// The same write as an operator makes it (the mode ring, `q7 set mode`, the
// bridge): under the busy guard, after a 0.01 s settle.
Outcome writeModeGuarded(Controller& c, ControlMode mode);

// The mode an operator picks by name, in any case: off, on, at1, at2 or
// manual. Program is not among them: its run switch (or `q7 program run`)
// starts it and watches it.
std::optional<ControlMode> settableMode(std::string_view name);

// "On", "Manual"; a code outside the table as its number.
std::string modeName(ControlMode mode);

// Why a mode write failed, in one sentence that names the mode (and the
// exception code of a refusal). Empty for a confirmed write.
std::string modeWriteFailure(const Outcome& outcome, ControlMode mode);
