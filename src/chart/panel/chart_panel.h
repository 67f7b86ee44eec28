#pragma once
#include "panelkit/panel_service.h"

class Controller;

int OpenChartPanel(Controller& c, int panel, CtrlId control, int event);
int Plot(Controller& c, int panel, CtrlId control, int event);
// Chart timer tick: reads SV then PV, shows and plots them and logs a line.
int GetData(Controller& c, int panel, CtrlId control, int event);
int ClearChart(int panel, CtrlId control, int event);
int ChartExit(Controller& c, int panel, CtrlId control, int event);
