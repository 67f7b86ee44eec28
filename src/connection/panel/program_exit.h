#pragma once
#include "panelkit/panel_service.h"

class Controller;

int Quit(Controller& c, int panel, CtrlId control, int event);
int ExitParm(Controller& c, int panel, CtrlId control, int event);
