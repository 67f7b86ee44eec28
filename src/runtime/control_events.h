#pragma once
// Turns what the operator does to a panel into events on the control thread.
#include "runtime/panel_service.h"

#include <string>

class QWidget;

// Connects every control of a freshly loaded panel that names a callback, and
// the panel's close box. GUI thread only.
void wirePanelEvents(int panel, QWidget* root);
// Posts an event for the control's callback; GUI thread only.
void postControlEvent(int panel, CtrlId control, int event);
// Posts the run's last event: queued events are dropped and no later one is
// taken (see enqueueFinalControlTask). GUI thread only.
void postFinalControlEvent(int panel, CtrlId control, int event);
// The logic just set this control: only a later change by the operator (or
// Enter) counts as a commit.
void rememberCommittedValue(QWidget* control);
// The operator gave an entry that showed no value a number: leaving it
// commits that number, even one equal to what the entry held unseen.
void forgetCommittedValue(QWidget* control);
// An entry refused what the operator typed and went back to its value: no
// commit follows, and a popup on the control thread says why.
void entryRefused(QWidget* entry, const std::string& why);
