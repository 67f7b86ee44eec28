#pragma once
// What a running step program is doing, from the program status poll: the
// running step and segment, the time spent in it and still to go, in the
// step and in the whole program, PV and SV as the main panel's polls read
// them, and the profile plot with PV over it.
#include "base/clock.h"
#include "panelkit/panel_service.h"
#include "program/poll_decode.h"
#include "program/run_timeline.h"
#include "program/step_program.h"
#include "panelkit/profile_plot_calls.h"

class Controller;

// The run as the step program panel follows it; nothing of it goes to the
// controller.
struct RunWatch {
    bool active = false;
    StepProgram program;
    Timeline plan;
    double startSv = 0.0;
    int visit = -1;
    int segment = -1;
    Clock::TimePoint segmentStart;
    ProfileView::Points pv;
};

// What the step program panel works with: the controller whose program it
// shows, and the run it follows.
struct StepProgramView {
    Controller& controller;
    RunWatch run;
};

// The programmed profile from the panel's table, with no run shown.
void showProfile(StepProgramView& view);
// The controller confirmed the start: the run is followed from now.
void beginRunView(StepProgramView& view);
// One good status reply that says the program runs.
void showRunStatus(StepProgramView& view, const RunStatus& status);
// The program is over or was stopped.
void endRunView(RunWatch& run);

// Commit of a set value or time entry: the profile follows the table.
int DrawProfile(StepProgramView& view, int panel, CtrlId control, int event);
