#pragma once
// Writes of the control mode, checked like every other register write. Each
// caller keeps its own guard and pauses around them.
#include "link/results.h"

#include <string>

// Writes the low byte of mode to the control mode register.
Outcome writeControlMode(int mode);

// Why a mode write failed, in one sentence that names the mode (and the
// exception code of a refusal). Empty for a confirmed write.
std::string modeWriteFailure(const Outcome& outcome, int mode);
