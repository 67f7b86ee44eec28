#pragma once
#include "panelkit/panel_service.h"

struct StepProgramView;

// Load a ".srp" file into the step program panel / save the panel to one.
int ScriptFileRd(StepProgramView& view, int panel, CtrlId control, int event);
int ScriptFileWrt(int panel, CtrlId control, int event);
