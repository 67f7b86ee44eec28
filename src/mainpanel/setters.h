#pragma once
// Main-panel controls that write their register the moment they are committed.
#include "panelkit/panel_service.h"

int SetCF(int panel, CtrlId control, int event);
int SetDirRev(int panel, CtrlId control, int event);
int SetSensor(int panel, CtrlId control, int event);
int SetDecimalPnt(int panel, CtrlId control, int event);
int SetTimeUnit(int panel, CtrlId control, int event);
int SetEROP(int panel, CtrlId control, int event);
int SetAlarmFunc1(int panel, CtrlId control, int event);
int SetAlarmMode1(int panel, CtrlId control, int event);
int SetKeyLock(int panel, CtrlId control, int event);
int SetCycleTime(int panel, CtrlId control, int event);

// Labels of the time-word fields follow the time unit: MM:SS or HH:MM.
void showTimeUnitLabels();
