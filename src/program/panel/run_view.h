#pragma once
// What a running step program is doing, from the program status poll: the
// running step and segment, the time spent in it and still to go, in the
// step and in the whole program, PV and SV as the main panel's polls read
// them, and the profile plot with PV over it.
#include "base/clock.h"
#include "panelkit/panel_service.h"
#include "panelkit/profile_plot_calls.h"
#include "program/poll_decode.h"
#include "program/run_timeline.h"
#include "program/step_program.h"
#include "runs/step_runs.h"

#include <memory>
#include <optional>

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
    // The table the controller holds, as this panel last read or wrote it
    // whole: what a run started here is recorded with. The panel's entries
    // may be edited since, and are not what the controller runs.
    struct KnownTable {
        StepProgram program;
        int digits = 0; // the controller's decimal places its values were read in
        double at = 0;  // when, wall-clock seconds
        bool written = false;
    };
    std::optional<KnownTable> inController;
    // The run store's record of the run this panel follows, while it has one.
    std::unique_ptr<StepRunRecord> record;
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
