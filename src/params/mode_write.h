#pragma once
// Writes of the control mode (register 0x0003), checked like every other
// register write. Each caller keeps its own guard and pauses around them.
#include "link/register_write.h"

#include <string>

// Writes the low byte of mode to the control mode register.
WriteOutcome writeControlMode(int mode);

// Why a mode write failed, in one sentence that names the mode (and the
// exception code of a refusal). Empty for a confirmed write.
std::string modeWriteFailure(WriteOutcome outcome, int mode);

// One message for a refused or unconfirmed mode write; nothing for a
// confirmed one.
void reportModeWrite(WriteOutcome outcome, int mode);
