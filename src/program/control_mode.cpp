#include "program/control_mode.h"

#include "link/link_state.h"
#include "link/reply_checks.h"
#include "link/transaction.h"
#include "params/mode_write.h"
#include "params/register_map.h"
#include "program/help_texts.h"
#include "program/poll_decode.h"
#include "runtime/ids/main_panel.h"
#include "runtime/panel_handles.h"

#include <optional>

namespace ids = MainPanel;

namespace {

enum Mode { kOff = 0, kOn = 1, kAutoTune1 = 2, kAutoTune2 = 3, kManual = 4 };

// The manual output level only makes sense, and is only taken, in Manual.
void enableOutputLevel(bool on) {
    const int p = gPanels.main;
    SetCtrlAttribute(p, ids::outputLevelNumeric, ATTR_CTRL_MODE, on ? 1 : 0);
    SetCtrlAttribute(p, ids::outputLevelNumeric, ATTR_DIMMED, on ? 0 : 1);
    SetCtrlAttribute(p, ids::outputSetButton, ATTR_DIMMED, on ? 0 : 1);
}

WriteOutcome writeMode(int mode) {
    BusyGuard guard;
    preparation(0.01);
    return writeControlMode(mode);
}

// The mode register as the controller reports it now; nothing without a
// whole reply.
std::optional<int> readMode() {
    BusyGuard guard;
    preparation(0.01);
    Frame frame = readTemplate(kModeRegister);
    const Reply reply = exchange(frame, gLink.controllerId, 7);
    const auto value = singleRegisterValue(reply.bytes, reply.count, gLink.controllerId);
    if (!value) return std::nullopt;
    return int(uint16_t(*value) & 0xFF);
}

// The mode the main panel showed before the operator picked another one: the
// lights and the output level still show it while the ring holds the pick.
// The lights do not tell the two auto-tune modes apart.
int modeShownByLights() {
    const int p = gPanels.main;
    double tuning = 0, manual = 0;
    int output = 0;
    GetCtrlAttribute(p, ids::autoTuneTimer, ATTR_ENABLED, &tuning);
    GetCtrlAttribute(p, ids::outputLevelNumeric, ATTR_CTRL_MODE, &manual);
    GetCtrlVal(p, ids::outputIndicator, &output);
    if (tuning != 0) return kAutoTune1;
    if (manual != 0) return kManual;
    return output ? kOn : kOff;
}

void showMode(int mode) {
    const int p = gPanels.main;
    switch (mode) {
    case kOff:
    case kOn:
    case kAutoTune1:
    case kAutoTune2: {
        const bool tuning = mode == kAutoTune1 || mode == kAutoTune2;
        SetCtrlAttribute(p, ids::autoTuneTimer, ATTR_ENABLED, tuning ? 1 : 0);
        enableOutputLevel(false);
        SetCtrlVal(p, ids::autoTuneIndicator, tuning ? 1 : 0);
        SetCtrlVal(p, ids::outputIndicator, mode == kOff ? 0 : 1);
        break;
    }
    case kManual:
        SetCtrlAttribute(p, ids::autoTuneTimer, ATTR_ENABLED, 0);
        enableOutputLevel(true);
        SetCtrlVal(p, ids::autoTuneIndicator, 0);
        SetCtrlVal(p, ids::outputIndicator, 1);
        break;
    default:
        SetCtrlVal(p, ids::outputIndicator, 1);
        break;
    }
}

} // namespace

bool TurnEnableOff() {
    const WriteOutcome outcome = writeMode(kOff);
    if (outcome != WriteOutcome::Confirmed) {
        // The lights keep the mode the controller was in: an output that
        // may still be on must not look off.
        reportModeWrite(outcome, kOff);
        return false;
    }
    const int p = gPanels.main;
    SetCtrlVal(p, ids::outputIndicator, 0);
    SetCtrlVal(p, ids::autoTuneIndicator, 0);
    SetCtrlAttribute(p, ids::autoTuneTimer, ATTR_ENABLED, 0);
    enableOutputLevel(false);
    return true;
}

int CtrlEnableFn(int, CtrlId, int event) {
    if (event == EVENT_RIGHT_CLICK) MessagePopup(helptext::modeTitle, helptext::mode);
    if (event != EVENT_COMMIT) return 0;
    int mode = 0;
    GetCtrlVal(gPanels.main, ids::modeRing, &mode);
    const WriteOutcome outcome = writeMode(mode);
    if (outcome == WriteOutcome::Confirmed) {
        showMode(mode);
        return 0;
    }
    // The ring goes back to the mode the controller holds: the one it reports
    // now, or else the one the panel showed before the pick.
    if (const auto held = readMode()) {
        SetCtrlVal(gPanels.main, ids::modeRing, *held);
        showMode(*held);
    } else {
        SetCtrlVal(gPanels.main, ids::modeRing, modeShownByLights());
    }
    reportModeWrite(outcome, mode);
    return 0;
}

int ChkAutoTUneOff(int, CtrlId, int event) {
    if (event != EVENT_TIMER_TICK) return 0;
    Reply reply;
    {
        BusyGuard guard;
        preparation(0.01);
        // Mode and the register after it; the whole 9-byte reply is read.
        Frame frame = readTemplate(kModeRegister, 2);
        reply = exchange(frame, gLink.controllerId);
    }
    const int p = gPanels.main;
    int lit = 0;
    GetCtrlVal(p, ids::autoTuneIndicator, &lit);
    SetCtrlVal(p, ids::autoTuneIndicator, lit ? 0 : 1);

    // A lost or garbled reply says nothing about the mode: poll again rather
    // than announce Off while the controller is still tuning.
    const auto ended = decodeTuneEnd(reply.bytes, reply.count, gLink.controllerId);
    if (!ended) return 0;
    const uint8_t mode = *ended;
    SetCtrlAttribute(p, ids::autoTuneTimer, ATTR_ENABLED, 0);
    SetCtrlVal(p, ids::modeRing, int(mode));
    SetCtrlVal(p, ids::autoTuneIndicator, 0);
    if (mode == kOff) SetCtrlVal(p, ids::outputIndicator, 0);
    return 0;
}
