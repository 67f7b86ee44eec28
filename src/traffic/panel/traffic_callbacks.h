#pragma once
// The traffic panel's callbacks, and the main panel's ways to open it.
#include "panelkit/panel_service.h"

class TrafficMonitor;

void registerTrafficCallbacks(TrafficMonitor& monitor);

int OpenTrafficPanel(int panel, CtrlId control, int event);
int CloseTrafficPanel(int panel, CtrlId control, int event);
int TrafficPause(TrafficMonitor& monitor, int panel, CtrlId control, int event);
int TrafficFailuresOnly(TrafficMonitor& monitor, int panel, CtrlId control, int event);
int TrafficClear(TrafficMonitor& monitor, int panel, CtrlId control, int event);
int TrafficSave(TrafficMonitor& monitor, int panel, CtrlId control, int event);
int TrafficResetStatistics(TrafficMonitor& monitor, int panel, CtrlId control, int event);
