#pragma once
#include "panelkit/panel_service.h"

// PV polling timer tick: reads PV into lastPV and the PV display.
int ReadPV(int panel, CtrlId control, int event);
// PV read switch: starts and stops the PV polling.
int PVRd(int panel, CtrlId control, int event);
// Alarm timer tick: polls the status word.
int ChkAlarm(int panel, CtrlId control, int event);

// Reads PV (and SV while a program runs) at once, as a poll would, when the
// poll is running: a change of unit or decimal point rescales PV.
void readPvAfterRescale();

// Shows whether the PV display holds a confirmed reading. A stale display is
// dimmed; the last good value stays on it.
void markPvStale(bool stale);

// A failed connection or a lost line empties the PV display: no reading is
// left that the connected controller gave. Once for the program.
void showNoPvWhenDisconnected();
