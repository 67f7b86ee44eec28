#pragma once
// Starting, stopping and watching the controller's step program, and the
// step program panel's own controls.
#include "panelkit/panel_service.h"

class Controller;

int StartStopSrp(Controller& c, int panel, CtrlId control, int event);
int ChkSrpOff(Controller& c, int panel, CtrlId control, int event);
int ChkStep(Controller& c, int panel, CtrlId control, int event);
int GetLoopCnt(int panel, CtrlId control, int event);
int LoopMsg(int panel, CtrlId control, int event);
int Scrip_Help(int panel, CtrlId control, int event);
int ExitScriptWin(Controller& c, int panel, CtrlId control, int event);
