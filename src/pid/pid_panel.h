#pragma once
// Callbacks of the PID panel and of the main panel's PID button.
#include "runtime/panel_service.h"

int OpenPidPanel(int panel, CtrlId control, int event);
int QuitPidParm(int panel, CtrlId control, int event);
int ReadPID(int panel, CtrlId control, int event);
int WrtPID(int panel, CtrlId control, int event);
int ReadPIDfromPC(int panel, CtrlId control, int event);
int WrtPIDtoPC(int panel, CtrlId control, int event);
