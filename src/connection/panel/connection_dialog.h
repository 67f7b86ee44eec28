#pragma once
// The Connection dialog: the port, baud rate, parity, stop bits and
// controller id. Test probes with them as a connection does; OK keeps them in
// DftCom.prm and connects.
#include "panelkit/panel_service.h"

class Controller;

// Shows the dialog with the settings in force.
void openConnectionDialog(Controller& c);
int OpenConnection(Controller& c, int panel, CtrlId control, int event);
int TestConnection(Controller& c, int panel, CtrlId control, int event);
int KeepConnection(Controller& c, int panel, CtrlId control, int event);
int CloseConnection(Controller& c, int panel, CtrlId control, int event);
