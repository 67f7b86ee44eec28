#pragma once
// The PID panel: its callbacks, the main panel's PID button, and the block's
// transfers as the operator sees them.
#include "panelkit/panel_service.h"
#include "pid/pid_block.h"

class Controller;

// Reads the block into the record and the PID panel. When no good reply
// comes, the record and the panel keep their values and the operator is told.
// The PID panel's entry of a field of the block.
CtrlId pidEntry(const PidField& f);

void ReadPIDParmsFromMeter(Controller& c);
// Writes the record's block; names the registers the controller refused or
// did not confirm, and what was not sent once it stopped answering.
void WritePIDParmsToMeter(Controller& c);
// Shows on the PID panel every value of the block the record holds as the
// controller gave it: after a change of decimal point, those it rescaled.
void showHeldBlock(Controller& c);

int OpenPidPanel(Controller& c, int panel, CtrlId control, int event);
int QuitPidParm(int panel, CtrlId control, int event);
int ReadPID(Controller& c, int panel, CtrlId control, int event);
int WrtPID(Controller& c, int panel, CtrlId control, int event);
int ReadPIDfromPC(Controller& c, int panel, CtrlId control, int event);
int WrtPIDtoPC(Controller& c, int panel, CtrlId control, int event);
