#include "mainpanel/mode_view.h"

#include "mainpanel/ids/main_panel.h"
#include "panelkit/panel_service.h"

namespace ids = MainPanel;

namespace {

// The manual output level only makes sense, and is only taken, in Manual.
void enableOutputLevel(bool on) {
    const int p = MainPanel::handle;
    SetCtrlAttribute(p, ids::outputLevelNumeric, ATTR_CTRL_MODE, on ? 1 : 0);
    SetCtrlAttribute(p, ids::outputLevelNumeric, ATTR_DIMMED, on ? 0 : 1);
    SetCtrlAttribute(p, ids::outputSetButton, ATTR_DIMMED, on ? 0 : 1);
}

} // namespace

void showModeControls(ControlMode mode) {
    const int p = MainPanel::handle;
    if (!isKnownMode(mode)) {
        // A mode this program does not know: only the output is known to be on.
        SetCtrlVal(p, ids::outputIndicator, 1);
        return;
    }
    // A running program drives the output itself, as On does.
    const bool tuning = isAutoTune(mode);
    SetCtrlAttribute(p, ids::autoTuneTimer, ATTR_ENABLED, tuning ? 1 : 0);
    enableOutputLevel(mode == ControlMode::manual);
    SetCtrlVal(p, ids::autoTuneIndicator, tuning ? 1 : 0);
    SetCtrlVal(p, ids::outputIndicator, mode == ControlMode::off ? 0 : 1);
}
