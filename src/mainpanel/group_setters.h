#pragma once
// Update buttons that write a group of related registers together.
#include "panelkit/panel_service.h"

int updateSoftStart(int panel, CtrlId control, int event);
int UpdateOption(int panel, CtrlId control, int event);
int UpdateAlarm(int panel, CtrlId control, int event);
