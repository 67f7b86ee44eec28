#pragma once
// The traffic panel's callbacks, and the main panel's ways to open it.
#include "panelkit/panel_service.h"

class Controller;

void registerTrafficCallbacks();

int OpenTrafficPanel(int panel, CtrlId control, int event);
int CloseTrafficPanel(int panel, CtrlId control, int event);
int TrafficPause(int panel, CtrlId control, int event);
int TrafficFailuresOnly(int panel, CtrlId control, int event);
int TrafficClear(int panel, CtrlId control, int event);
int TrafficSave(int panel, CtrlId control, int event);
int TrafficResetStatistics(int panel, CtrlId control, int event);
