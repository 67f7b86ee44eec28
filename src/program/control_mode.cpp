#include "program/control_mode.h"

#include "link/link_state.h"
#include "link/transaction.h"
#include "program/help_texts.h"
#include "program/poll_decode.h"
#include "runtime/ids/main_panel.h"
#include "runtime/panel_handles.h"

#include <cstring>

namespace ids = MainPanel;

namespace {

constexpr uint16_t kModeRegister = 0x0003;
enum Mode { kOff = 0, kOn = 1, kAutoTune1 = 2, kAutoTune2 = 3, kManual = 4 };

// The manual output level only makes sense, and is only taken, in Manual.
void enableOutputLevel(bool on) {
    const int p = gPanels.main;
    SetCtrlAttribute(p, ids::outputLevelNumeric, ATTR_CTRL_MODE, on ? 1 : 0);
    SetCtrlAttribute(p, ids::outputLevelNumeric, ATTR_DIMMED, on ? 0 : 1);
    SetCtrlAttribute(p, ids::outputSetButton, ATTR_DIMMED, on ? 0 : 1);
}

void writeMode(int mode) {
    BusyGuard guard;
    preparation(0.01);
    Frame frame = writeTemplate(kModeRegister);
    const Reply echo = exchangeWrite(frame, gLink.controllerId, int16_t(mode & 0xFF));
    std::memcpy(gTx.writeEcho, echo.bytes, sizeof gTx.writeEcho);
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

void TurnEnableOff() {
    writeMode(kOff);
    const int p = gPanels.main;
    SetCtrlVal(p, ids::outputIndicator, 0);
    SetCtrlVal(p, ids::autoTuneIndicator, 0);
    SetCtrlAttribute(p, ids::autoTuneTimer, ATTR_ENABLED, 0);
    enableOutputLevel(false);
}

int CtrlEnableFn(int, CtrlId, int event) {
    if (event == EVENT_RIGHT_CLICK) MessagePopup(helptext::modeTitle, helptext::mode);
    if (event != EVENT_COMMIT) return 0;
    int mode = 0;
    GetCtrlVal(gPanels.main, ids::modeRing, &mode);
    writeMode(mode);
    showMode(mode);
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
