#pragma once
#include "panelkit/panel_service.h"

struct Chart;
struct ChartState;

// Opens the Y-scale panel with what the chart shows now.
int ChgYScale(Chart& chart, int panel, CtrlId control, int event);
// The auto-scale switch: the range fields are for a fixed range only.
int SetYAutoScale(int panel, CtrlId control, int event);
// Applies the Y-scale panel to the chart, keeps it in the scale file and hides the panel.
int CloseYscale(Chart& chart, int panel, CtrlId control, int event);

// Puts the stored scale on the chart and into the Y-scale panel's fields; a
// range the chart refuses is reported and replaced by the chart's own.
void applyScaleToChart(ChartState& chart);
// Takes the range and points per screen the chart shows now as the stored scale.
void readScaleFromChart(ChartState& chart);
