#pragma once
// The controller's control mode (register 0x0003) as the main panel shows it.
#include "runtime/panel_service.h"

// Switches the controller Off and returns the main panel's mode-dependent
// controls to their Off state, whether or not the controller answered.
void TurnEnableOff();

int CtrlEnableFn(int panel, CtrlId control, int event);
int ChkAutoTUneOff(int panel, CtrlId control, int event);
