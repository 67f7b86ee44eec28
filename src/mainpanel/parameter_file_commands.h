#pragma once
// Saving the configuration to a parameter file and restoring one into the controller.
#include "panelkit/panel_service.h"

class Controller;

int WriteAllParm(Controller& c, int panel, CtrlId control, int event);
void WriteParmsToFile(Controller& c);
int RdParmFromFile(Controller& c, int panel, CtrlId control, int event);
