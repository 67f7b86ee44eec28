#pragma once
// The controller's control mode (register 0x0003) as the main panel shows it.
#include "panelkit/panel_service.h"

class Controller;

// Switches the controller Off and returns the main panel's mode-dependent
// controls to their Off state. When the controller does not confirm Off the
// operator is told, the panel keeps showing the mode it was in, and the
// result is false.
bool TurnEnableOff(Controller& c);

int CtrlEnableFn(Controller& c, int panel, CtrlId control, int event);
int ChkAutoTUneOff(Controller& c, int panel, CtrlId control, int event);
