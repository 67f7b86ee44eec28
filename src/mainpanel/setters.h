#pragma once
// Main-panel controls that write their register the moment they are committed.
#include "panelkit/panel_service.h"

class Controller;
struct Rescale;

// The unit and the decimal point: what they rescale follows.
int SetCF(Rescale& rescale, int panel, CtrlId control, int event);
int SetDirRev(Controller& c, int panel, CtrlId control, int event);
int SetSensor(Controller& c, int panel, CtrlId control, int event);
int SetDecimalPnt(Rescale& rescale, int panel, CtrlId control, int event);
int SetTimeUnit(Controller& c, int panel, CtrlId control, int event);
int SetEROP(Controller& c, int panel, CtrlId control, int event);
int SetAlarmFunc1(Controller& c, int panel, CtrlId control, int event);
int SetAlarmMode1(Controller& c, int panel, CtrlId control, int event);
int SetKeyLock(Controller& c, int panel, CtrlId control, int event);
int SetCycleTime(Controller& c, int panel, CtrlId control, int event);

// Labels of the time-word fields follow the time unit: MM:SS or HH:MM.
void showTimeUnitLabels(Controller& c);
