#pragma once
// The engineering access level: the access code unlocks the main panel's
// debug and PID buttons for the rest of the run.
#include "panelkit/panel_service.h"

#include <cstdint>

inline constexpr uint16_t kEngAccessCode = 462;

class EngCodePanel;

// Control thread: the access code's effect, the debug and PID buttons undimmed.
void unlockEngineering();
// Opens the engineering code popup, queued to the GUI thread.
void TurnOnEngFunc(EngCodePanel& panel);
// The About button: the program's name and version; a right click opens the
// engineering code popup.
int Info(EngCodePanel& engCode, int panel, CtrlId control, int event);
int NonUserPopup(int panel, CtrlId control, int event);
