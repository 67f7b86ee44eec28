#pragma once
// The Line panel: every controller listed for the main panel's port, polled
// in turn on its line, and the main panel's way to open it.
#include "panelkit/panel_service.h"

class Controller;

void registerLineCallbacks(Controller& c);
// Once the panel is loaded: its handle, and the table's double click.
void setUpLinePanel(int panel);
int linePanel();
// The panel's state back to the program's start, for tests.
void resetLinePanel();
// Every listed controller has had a turn since the list was loaded (or
// nothing is listed). Any thread: the screenshots wait for it.
bool lineRoundDone();

int OpenLinePanel(Controller& c, int panel, CtrlId control, int event);
int CloseLinePanel(int panel, CtrlId control, int event);
int LinePoll(Controller& c, int panel, CtrlId control, int event);
int LineShow(Controller& c, int panel, CtrlId control, int event);
int LineAdd(Controller& c, int panel, CtrlId control, int event);
int LineRemove(int panel, CtrlId control, int event);
int LineInterval(int panel, CtrlId control, int event);
int LineScan(Controller& c, int panel, CtrlId control, int event);
