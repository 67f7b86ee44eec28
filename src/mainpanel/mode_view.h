#pragma once
// The main panel's controls that follow the control mode: the auto-tune
// timer and light, the output light, and the output level entry with its SET
// button, which only Manual takes. This is the one place that decides them;
// the mode ring itself is each caller's to set.
#include "link/control_mode.h"

void showModeControls(ControlMode mode);
