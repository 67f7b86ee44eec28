#pragma once
#include "panelkit/panel_service.h"

#include <functional>

class AlarmNotices;
class ConnectionDialog;
class Prompts;
class Controller;
class DataLog;

// What the main panel's connection works with: the controller it connects,
// the notices whose switches DftCom.prm keeps with the port's settings, and
// the data log an exit closes.
struct Connection {
    Controller& controller;
    AlarmNotices& notices;
    DataLog& log;
    // Told on the control thread once a connection has read the controller:
    // what the program keeps of the line beyond this folder's panels (an
    // unfinished firing run on it) looks at it then.
    std::function<void()> connected{};
    // The Connection dialog and what tells the operator, made on the GUI
    // thread by the program.
    ConnectionDialog* dialog = nullptr;
    Prompts* prompts = nullptr;
};

// The first connection: the id the main panel starts with, then the COM
// settings of DftCom.prm, then ComportInit.
void connectAtStartUp(Connection& connection);
// Restores the COM settings from DftCom.prm into the link state and panel.
// False when the file's baud rate or controller id is not usable: the ones in
// force stay, the operator is told why, and the Connection dialog opens once
// they have read it.
bool RdComFile(Connection& connection);
// Keeps the line's settings in DftCom.prm (not those of the simulator).
void saveComSettings(Connection& connection);
// Opens the selected port, probes the controller and hands over to the
// parameter read.
void ComportInit(Connection& connection);
int SetComport(Connection& connection, int panel, CtrlId control, int event);
int ChangeAddrID(Controller& c, int panel, CtrlId control, int event);
