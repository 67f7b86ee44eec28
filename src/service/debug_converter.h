#pragma once
// The debug panel's converter between an engineering value and the 16-bit
// register value, scaled as a temperature register is.
#include "panelkit/panel_service.h"

int DecToHexConv(int panel, CtrlId control, int event);
int HexToDecConv(int panel, CtrlId control, int event);
int DebugPorting(int panel, CtrlId control, int event);
