#pragma once
// The main panel as the other panels' code sees it: typed calls in place of
// its controls' names, so that what a control means is said in one place.
// Calls from any thread, as the panel service takes them.
#include "link/control_mode.h"

class MainPanelView {
  public:
    // PV as read, or no reading at all.
    static void showPv(double pv);
    static void clearPv();
    // Grey while the value shown is not a fresh reading.
    static void dimPv(bool dimmed);

    // The PV polling timer.
    static bool pvPolling();
    static void setPvPolling(bool on);
    // The operator's PV read switch, and whether it can be used (the chart
    // takes the reading over while it plots).
    static void showPvReadSwitch(bool on, bool usable);

    // The mode ring, with the lights and entries that follow the mode.
    static void showMode(ControlMode mode);
    // The ring's entry as it stands: an operator's pick not yet written, or
    // the mode shown.
    static ControlMode modeOnRing();
    // The auto-tune poll runs, and its light blinks, while tuning goes on.
    static bool autoTunePolling();
    static void blinkAutoTune();

    // The controller id entry.
    static int idEntered();
    static void showId(int id);
};
