#pragma once
// The engineering access level: the access code unlocks the main panel's
// debug and PID buttons for the rest of the run.
#include "panelkit/panel_service.h"

#include <cstdint>

inline constexpr uint16_t kEngAccessCode = 462;

// Opens the engineering code popup.
void TurnOnEngFunc();
int CheckEngCode(int panel, CtrlId control, int event);
// The About button: the program's name and version; a right click opens the
// engineering code popup.
int Info(int panel, CtrlId control, int event);
int ClosePopup(int panel, CtrlId control, int event);
int NonUserPopup(int panel, CtrlId control, int event);
