#pragma once
// The Connection dialog: the port, baud rate, parity, stop bits and
// controller id. Test asks the chosen controller with them beside the live
// connection, which stays as it was; OK keeps them in DftCom.prm and connects.
#include "panelkit/panel_service.h"

class Controller;
struct Connection;

// Shows the dialog with the settings in force.
void openConnectionDialog(Connection& connection);
int OpenConnection(Connection& connection, int panel, CtrlId control, int event);
int TestConnection(Controller& c, int panel, CtrlId control, int event);
int KeepConnection(Connection& connection, int panel, CtrlId control, int event);
int CloseConnection(int panel, CtrlId control, int event);
