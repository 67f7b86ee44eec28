#pragma once
// The live process value as last read, and whether the display still shows
// a value the controller confirmed.
#include <string>

struct LiveState {
    float lastPV = 0.0f;
    // The last PV poll got no value: the display shows an older reading.
    bool pvStale = false;
    // The words beside the display saying why it is grey (pv_note.h).
    std::string pvNote;
};
extern LiveState gLive;

void resetMonitorState();
