#pragma once
// The operator's view of a failed register write.
#include "link/control_mode.h"
#include "link/results.h"

#include <string>

// The controller refused a value (an exception reply).
void reportRefusal();
// The controller did not confirm the change of `what` (no echo, or not the echo).
void reportUnconfirmed(const std::string& what);
// One of the two, or nothing for a confirmed write.
void reportWrite(const Outcome& outcome, const std::string& what);
// One message for a refused or unconfirmed mode write; nothing for a
// confirmed one.
void reportModeWrite(const Outcome& outcome, ControlMode mode);
