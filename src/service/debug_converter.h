#pragma once
// The debug panel's converter between an engineering value and the 16-bit
// register value, scaled as a temperature register is.
#include "panelkit/panel_service.h"

class Controller;

int DecToHexConv(Controller& c, int panel, CtrlId control, int event);
int HexToDecConv(Controller& c, int panel, CtrlId control, int event);
int DebugPorting(int panel, CtrlId control, int event);
