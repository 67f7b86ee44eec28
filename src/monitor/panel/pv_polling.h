#pragma once
#include "panelkit/panel_service.h"

class Controller;

// PV polling timer tick: reads PV into the PV display.
int ReadPV(Controller& c, int panel, CtrlId control, int event);
// PV read switch: starts and stops the PV polling.
int PVRd(Controller& c, int panel, CtrlId control, int event);

// Reads PV (and SV while a program runs) at once, as a poll would, when the
// poll is running: a change of unit or decimal point rescales PV.
void readPvAfterRescale(Controller& c);

// The chart stopped reading PV: Read PV takes over again and the display is
// read at once, so it never stays grey at an older value than the chart
// showed. Without a connection the switch stays off and dimmed.
void resumePvPolling(Controller& c);

// Shows whether the PV display holds a confirmed reading. A stale display is
// dimmed; the last good value stays on it.
void markPvStale(Controller& c, bool stale);
