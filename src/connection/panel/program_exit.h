#pragma once
#include "panelkit/panel_service.h"

int Quit(int panel, CtrlId control, int event);
int ExitParm(int panel, CtrlId control, int event);
int Info(int panel, CtrlId control, int event);
