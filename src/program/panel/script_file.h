#pragma once
#include "panelkit/panel_service.h"

class Controller;

// Load a ".srp" file into the step program panel / save the panel to one.
int ScriptFileRd(Controller& c, int panel, CtrlId control, int event);
int ScriptFileWrt(int panel, CtrlId control, int event);
