#pragma once
#include "panelkit/panel_service.h"

int OpenChartPanel(int panel, CtrlId control, int event);
int Plot(int panel, CtrlId control, int event);
// Chart timer tick: reads SV then PV, shows and plots them and logs a line.
int GetData(int panel, CtrlId control, int event);
int ClearChart(int panel, CtrlId control, int event);
int ChartExit(int panel, CtrlId control, int event);
