#pragma once
// Update buttons that write a group of related registers together.
#include "panelkit/panel_service.h"

class Controller;

int updateSoftStart(Controller& c, int panel, CtrlId control, int event);
int UpdateOption(Controller& c, int panel, CtrlId control, int event);
int UpdateAlarm(Controller& c, int panel, CtrlId control, int event);
