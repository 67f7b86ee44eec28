#pragma once
// Why the PV display is grey, in words beside it: a dimmed number alone looks
// the same whether the chart reads PV, polling is off, or nothing answers.

class Controller;
enum class PvNote {
    live,  // a fresh reading: nothing to say
    stale, // the last poll got no value: no reply since when, lost, or not connected
    chart, // plotting reads PV; the main panel's polling waits
    off,   // the Read PV switch is off
};

// Shows the note beside the PV display.
void showPvNote(Controller& c, PvNote note);
