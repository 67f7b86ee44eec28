#pragma once
// The profile plot's call of the panel service.
#include "panelkit/panel_service.h"
#include "widgets/profile_plot.h"

// Replaces what the plot draws.
int ShowProfilePlot(int panel, CtrlId plot, ProfileView view);
// What the plot draws now (tests and pictures).
ProfileView GetProfilePlot(int panel, CtrlId plot);
