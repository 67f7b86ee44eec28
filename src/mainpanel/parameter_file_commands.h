#pragma once
// Saving the configuration to a parameter file and restoring one into the controller.
#include "panelkit/panel_service.h"

int WriteAllParm(int panel, CtrlId control, int event);
void WriteParmsToFile();
int RdParmFromFile(int panel, CtrlId control, int event);
