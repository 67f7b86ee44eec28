#pragma once
// The operator's view of a failed register write.
#include "link/control_mode.h"
#include "link/results.h"

#include <cstdint>
#include <string>

class Controller;

// The controller refused a value (an exception reply).
void reportRefusal();
// The controller did not confirm the change of `what` (no echo, or not the echo).
void reportUnconfirmed(const std::string& what);
// One of the two, or nothing for a confirmed write.
void reportWrite(const Outcome& outcome, const std::string& what);
// One message for a refused or unconfirmed mode write; for every one, its
// word on the status line ("mode On confirmed").
void reportModeWrite(const Outcome& outcome, ControlMode mode);

// The status line's word on a write, where the operator looks after it:
// "SV 30.0 confirmed", "output 55.5 % set"; or "SV 1300.0 refused (exception
// 03); the controller holds 100.0", "... not confirmed (no reply)". held is
// what the controller holds afterwards (its echo, or the value read back);
// empty when that is not known.
std::string writeStatusText(const Outcome& outcome, const std::string& what,
                            const std::string& tried, const std::string& held,
                            const std::string& done = "confirmed");
// The same for a parameter register, from the record, which holds what the
// controller holds after the write; tried is the value as it was sent.
void showParameterWrite(Controller& c, const Outcome& outcome, uint16_t reg,
                        const std::string& tried);
// "option group written (4 registers)", or how many of them were not.
void showGroupWrite(const std::string& group, int registers, int refused, int unconfirmed);
