#pragma once
#include "panelkit/panel_service.h"

class Controller;

// The first connection: the id the main panel starts with, then the COM
// settings of DftCom.prm, then ComportInit.
void connectAtStartUp(Controller& c);
// Restores the COM settings from DftCom.prm into the link state and panel.
// False, after telling the operator, when the file's baud rate is not one the
// line runs at: the rate in force stays.
bool RdComFile(Controller& c);
// Keeps the line's settings in DftCom.prm (not those of the simulator).
void saveComSettings(Controller& c);
// Opens the selected port, probes the controller and hands over to the
// parameter read.
void ComportInit(Controller& c);
int SetComport(Controller& c, int panel, CtrlId control, int event);
int ChangeAddrID(Controller& c, int panel, CtrlId control, int event);
