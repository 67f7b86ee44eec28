#pragma once
// The live process value as last read, and whether the display still shows
// a value the controller confirmed.
struct LiveState {
    float lastPV = 0.0f;
    // The last PV poll got no value: the display shows an older reading.
    bool pvStale = false;
};
extern LiveState gLive;

void resetMonitorState();
