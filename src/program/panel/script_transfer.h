#pragma once
// Moving the step program between the controller's registers 0x0032-0x005A
// and the step program panel.
#include "panelkit/panel_service.h"

class Controller;
struct StepProgramView;

// Reads the program and band from the controller into the panel.
void UpdateScpFromCtrlToPC(StepProgramView& view);

int OpenScriptPanel(StepProgramView& view, int panel, CtrlId control, int event);
int RdCtrlScript(StepProgramView& view, int panel, CtrlId control, int event);
int WtCtrlScript(StepProgramView& view, int panel, CtrlId control, int event);
int SetBand(StepProgramView& view, int panel, CtrlId control, int event);
