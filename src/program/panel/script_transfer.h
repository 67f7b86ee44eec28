#pragma once
// Moving the step program between the controller's registers 0x0032-0x005A
// and the step program panel.
#include "panelkit/panel_service.h"

// Reads the program and band from the controller into the panel.
void UpdateScpFromCtrlToPC();

int OpenScriptPanel(int panel, CtrlId control, int event);
int RdCtrlScript(int panel, CtrlId control, int event);
int WtCtrlScript(int panel, CtrlId control, int event);
int SetBand(int panel, CtrlId control, int event);
