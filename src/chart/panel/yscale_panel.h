#pragma once
#include "panelkit/panel_service.h"

// Opens the Y-scale panel with what the chart shows now.
int ChgYScale(int panel, CtrlId control, int event);
// The auto-scale switch: the range fields are for a fixed range only.
int SetYAutoScale(int panel, CtrlId control, int event);
// Applies the Y-scale panel to the chart, keeps it in the scale file and hides the panel.
int CloseYscale(int panel, CtrlId control, int event);

// Puts the stored scale on the chart and into the Y-scale panel's fields; a
// range the chart refuses is reported and replaced by the chart's own.
void applyScaleToChart();
// Takes the range and points per screen the chart shows now as the stored scale.
void readScaleFromChart();
