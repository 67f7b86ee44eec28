#include "program/panel/control_mode.h"

#include "link/controller.h"
#include "mainpanel/main_panel_view.h"
#include "mainpanel/write_report.h"
#include "params/mode_write.h"
#include "program/help_texts.h"
#include "program/mode_polls.h"

namespace {

// What the ring goes back to when a pick was not taken: the mode the
// controller last reported or confirmed. Off before it said any, as the
// lights show then.
ControlMode modeHeld(const Controller& c) {
    return c.mode().value_or(ControlMode::off);
}

} // namespace

bool TurnEnableOff(Controller& c) {
    const Outcome outcome = writeModeGuarded(c, ControlMode::off);
    if (!outcome.ok()) {
        // The lights keep the mode the controller was in: an output that
        // may still be on must not look off.
        reportModeWrite(outcome, ControlMode::off);
        return false;
    }
    MainPanelView::showMode(ControlMode::off);
    return true;
}

int CtrlEnableFn(Controller& c, int, CtrlId, int event) {
    if (event == EVENT_RIGHT_CLICK) MessagePopup(helptext::modeTitle, helptext::mode);
    if (event != EVENT_COMMIT) return 0;
    const ControlMode mode = MainPanelView::modeOnRing();
    // The ring shows a running program but does not start one: that is the
    // run switch's, which also watches it.
    if (mode == ControlMode::program) {
        MainPanelView::showMode(modeHeld(c));
        return 0;
    }
    const Outcome outcome = writeModeGuarded(c, mode);
    if (outcome.ok()) {
        MainPanelView::showMode(mode);
        reportModeWrite(outcome, mode); // on the status line
        return 0;
    }
    // The ring goes back to the mode the controller holds: the one it reports
    // now, or else the one the panel showed before the pick.
    MainPanelView::showMode(readControlMode(c).value_or(modeHeld(c)));
    reportModeWrite(outcome, mode);
    return 0;
}

int ChkAutoTUneOff(Controller& c, int, CtrlId, int event) {
    if (event != EVENT_TIMER_TICK) return 0;
    // Tuning ended meanwhile: the light is already dark and must stay so.
    if (!MainPanelView::autoTunePolling()) return 0;
    const std::optional<ControlMode> ended = pollTuneEnd(c);
    MainPanelView::blinkAutoTune();
    if (!ended) return 0;
    MainPanelView::showMode(*ended);
    return 0;
}
