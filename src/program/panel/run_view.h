#pragma once
// What a running step program is doing, from the program status poll: the
// running step and segment, the time spent in it and still to go, in the
// step and in the whole program, PV and SV as the main panel's polls read
// them, and the profile plot with PV over it.
#include "panelkit/panel_service.h"
#include "program/poll_decode.h"

class Controller;

// The programmed profile from the panel's table, with no run shown.
void showProfile(Controller& c);
// The controller confirmed the start: the run is followed from now.
void beginRunView(Controller& c);
// One good status reply that says the program runs.
void showRunStatus(Controller& c, const RunStatus& status);
// The program is over or was stopped.
void endRunView();

// Commit of a set value or time entry: the profile follows the table.
int DrawProfile(Controller& c, int panel, CtrlId control, int event);
