#pragma once
// Turns what the operator does to a panel into events on the control thread.
#include "panelkit/panel_service.h"

#include <string>

class QWidget;

// Connects every control of a freshly loaded panel that names a callback, and
// the panel's close box. GUI thread only.
void wirePanelEvents(int panel, QWidget* root);
// Posts an event for the control's callback; GUI thread only.
void postControlEvent(int panel, CtrlId control, int event);
// Posts the run's last event: queued events are dropped and no later one is
// taken (see ControlThread::postFinal). GUI thread only.
void postFinalControlEvent(int panel, CtrlId control, int event);
#include "widgets/entry_commit.h" // rememberCommittedValue and its kin
