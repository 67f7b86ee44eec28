#pragma once
// Starting, stopping and watching the controller's step program, and the
// step program panel's own controls.
#include "panelkit/panel_service.h"

class Controller;

// Asks the controller whether its program runs and, when it does, follows
// the run as if it had been started here: the switch, the status poll, the
// segment, and the plan from where this panel first saw it.
void followRunningProgram(Controller& c);

int StartStopSrp(Controller& c, int panel, CtrlId control, int event);
int ChkSrpOff(Controller& c, int panel, CtrlId control, int event);
int ChkStep(Controller& c, int panel, CtrlId control, int event);
int GetLoopCnt(int panel, CtrlId control, int event);
int LoopMsg(int panel, CtrlId control, int event);
int Scrip_Help(int panel, CtrlId control, int event);
int ExitScriptWin(Controller& c, int panel, CtrlId control, int event);
