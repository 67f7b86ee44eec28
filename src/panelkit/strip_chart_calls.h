#pragma once
// Strip chart calls of the panel service beyond the plotting ones.
#include "panelkit/panel_service.h"

#include <string>

// Writes the chart as the operator sees it to path as a PNG picture, whole
// or not at all; on failure returns a negative code and *why says why.
int SaveStripChartImage(int panel, CtrlId chart, const std::string& path, std::string* why);
// The unit of the values ("°C"), named on the Y axis and in the cursor readout.
int SetStripChartUnit(int panel, CtrlId chart, const std::string& unit);
