#pragma once
// Ending the run on SIGINT or SIGTERM as the immediate exit does, even while
// the control thread waits on a popup or is deep in a long transfer.
#include "panelkit/panel_service.h"

#include <chrono>
#include <functional>

// True once the run is ending: popups and file dialogs then answer at once,
// as Escape or Cancel would. Any thread.
bool runEnding();

// The control whose commit ends the run (the immediate exit).
void setQuitControl(int panel, CtrlId control);
// What closes what must not be lost and ends the process, for a control
// thread that does not get to the quit commit within the grace period.
void setForcedEnd(std::function<void()> forcedEnd,
                  std::chrono::milliseconds grace = std::chrono::milliseconds(500));

// What a signal does, on the GUI thread: marks the run as ending, answers
// every open popup and file dialog as Escape would, and posts the quit
// control's commit as the last event, ahead of everything queued. Should the
// control thread not have run it after the grace period, the forced end
// runs. A second signal while ending runs the forced end at once.
void endRunAsOnSignal();

// Answers every popup and file dialog now open as Escape would (popups.cpp).
void answerOpenPopupsAsEscape();

// A fresh run again: not ending, the control queue open (tests).
void resetRunEnding();
