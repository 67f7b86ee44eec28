#include "mainpanel/mode_view.h"

#include "mainpanel/ids/main_panel.h"
#include "panelkit/panel_handles.h"
#include "panelkit/panel_service.h"

namespace ids = MainPanel;

namespace {

enum Mode { kOff = 0, kOn = 1, kAutoTune1 = 2, kAutoTune2 = 3, kManual = 4, kProgram = 5 };

// The manual output level only makes sense, and is only taken, in Manual.
void enableOutputLevel(bool on) {
    const int p = gPanels.main;
    SetCtrlAttribute(p, ids::outputLevelNumeric, ATTR_CTRL_MODE, on ? 1 : 0);
    SetCtrlAttribute(p, ids::outputLevelNumeric, ATTR_DIMMED, on ? 0 : 1);
    SetCtrlAttribute(p, ids::outputSetButton, ATTR_DIMMED, on ? 0 : 1);
}

} // namespace

void showModeControls(int mode) {
    const int p = gPanels.main;
    if (mode < kOff || mode > kProgram) {
        // A mode this program does not know: only the output is known to be on.
        SetCtrlVal(p, ids::outputIndicator, 1);
        return;
    }
    // A running program drives the output itself, as On does.
    const bool tuning = mode == kAutoTune1 || mode == kAutoTune2;
    SetCtrlAttribute(p, ids::autoTuneTimer, ATTR_ENABLED, tuning ? 1 : 0);
    enableOutputLevel(mode == kManual);
    SetCtrlVal(p, ids::autoTuneIndicator, tuning ? 1 : 0);
    SetCtrlVal(p, ids::outputIndicator, mode == kOff ? 0 : 1);
}
