#pragma once
#include "panelkit/panel_service.h"

// "Save Image...": asks for a file and writes the chart as the operator sees it, as PNG.
int SaveChartImage(int panel, CtrlId control, int event);
