#pragma once
// Starting, stopping and watching the controller's step program, and the
// step program panel's own controls.
#include "panelkit/panel_service.h"

struct StepProgramView;

// Asks the controller whether its program runs and, when it does, follows
// the run as if it had been started here: the switch, the status poll, the
// segment, and the plan from where this panel first saw it.
void followRunningProgram(StepProgramView& view);

int StartStopSrp(StepProgramView& view, int panel, CtrlId control, int event);
int ChkSrpOff(StepProgramView& view, int panel, CtrlId control, int event);
int ChkStep(StepProgramView& view, int panel, CtrlId control, int event);
int GetLoopCnt(int panel, CtrlId control, int event);
int LoopMsg(int panel, CtrlId control, int event);
int Scrip_Help(int panel, CtrlId control, int event);
int ExitScriptWin(StepProgramView& view, int panel, CtrlId control, int event);
