#pragma once
#include "panelkit/panel_service.h"

struct Chart;

int OpenChartPanel(Chart& chart, int panel, CtrlId control, int event);
int Plot(Chart& chart, int panel, CtrlId control, int event);
// Chart timer tick: reads SV then PV, shows and plots them and logs a line.
int GetData(Chart& chart, int panel, CtrlId control, int event);
int ClearChart(int panel, CtrlId control, int event);
int ChartExit(Chart& chart, int panel, CtrlId control, int event);
