#pragma once
// The debug panel's raw frame: an engineer composes one request byte by
// byte, sends it, and sees every byte that came back with both CRCs.
#include "panelkit/panel_service.h"

class Controller;

int OpenDebugPanel(int panel, CtrlId control, int event);
int QuitDebug(int panel, CtrlId control, int event);
int CheckFunc(int panel, CtrlId control, int event);
int WrtOn(Controller& c, int panel, CtrlId control, int event);
