#pragma once
// The Connection dialog: the port, baud rate, parity, stop bits and
// controller id. Test probes with them as a connection does; OK keeps them in
// DftCom.prm and connects.
#include "panelkit/panel_service.h"

// Shows the dialog with the settings in force.
void openConnectionDialog();
int OpenConnection(int panel, CtrlId control, int event);
int TestConnection(int panel, CtrlId control, int event);
int KeepConnection(int panel, CtrlId control, int event);
int CloseConnection(int panel, CtrlId control, int event);
