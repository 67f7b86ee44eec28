#include "monitor/panel/pv_polling.h"

#include "link/control_mode.h"
#include "link/controller.h"
#include "link/line.h"
#include "link/line_events.h"
#include "link/registers.h"
#include "mainpanel/ids/main_panel.h"
#include "mainpanel/parameter_display.h"
#include "monitor/live_reads.h"
#include "monitor/live_values.h"
#include "monitor/panel/pv_note.h"
#include "panelkit/panel_handles.h"

namespace {

void onLineEvent(LineEvent event, int) {
    if (event != LineEvent::disconnected && event != LineEvent::lost) return;
    // The last reading came from a controller that is no longer connected.
    ClearCtrlVal(gPanels.main, MainPanel::pvDisplay);
}

// While the controller runs its step program, it moves SV by itself.
bool programRuns() {
    int mode = 0;
    GetCtrlVal(gPanels.main, MainPanel::modeRing, &mode);
    return mode == codeOf(ControlMode::program);
}

// PV into lastPV and the display; while a program runs, SV into its entry
// as well, so the panel shows the set value the program drives.
void pollLiveValues(Controller& c) {
    const std::optional<float> pv = ReadPVPVOF(c);
    if (!pv) {
        // One mark, no popup: a silent controller would otherwise bury the
        // operator under a message a second.
        markPvStale(c, true);
        return;
    }
    gLive.lastPV = *pv;
    SetCtrlVal(gPanels.main, MainPanel::pvDisplay, gLive.lastPV);
    markPvStale(c, false);
    if (programRuns() && ReadSVSVOF(c)) showParameter(c, reg::setValue);
}

} // namespace

void showNoPvWhenDisconnected(Controller& c) {
    static const int handle = c.line().addLineObserver(onLineEvent);
    (void)handle;
}

void markPvStale(Controller& c, bool stale) {
    // The note follows the line (silent, then lost) while the display stays grey.
    showPvNote(c, stale ? PvNote::stale : PvNote::live);
    if (gLive.pvStale == stale) return;
    gLive.pvStale = stale;
    SetCtrlAttribute(gPanels.main, MainPanel::pvDisplay, ATTR_DIMMED, stale ? 1 : 0);
}

int ReadPV(Controller& c, int panel, CtrlId control, int event) {
    if (event != EVENT_TIMER_TICK) return 0;
    // A tick queued just before the switch or the chart stopped the timer
    // must not send one more request behind the operator's back.
    if (!TimerRunning(panel, control)) return 0;
    // Before a connection there is nothing to ask; the display must not pass
    // the panel's initial 0 off as a reading.
    if (!c.line().linkUp()) {
        markPvStale(c, true);
        return 0;
    }
    pollLiveValues(c);
    return 0;
}

void readPvAfterRescale(Controller& c) {
    // A poll that is switched off leaves the display grey; it is not read
    // behind the operator's back.
    if (c.line().linkUp() && TimerRunning(gPanels.main, MainPanel::pvPollTimer)) pollLiveValues(c);
}

namespace {

void startPvPolling(Controller& c, bool on) {
    // Switched on, the display counts as fresh again until a poll says otherwise.
    gLive.pvStale = false;
    showPvNote(c, on ? PvNote::live : PvNote::off);
    SetCtrlAttribute(gPanels.main, MainPanel::pvDisplay, ATTR_DIMMED, on ? 0 : 1);
    SetCtrlAttribute(gPanels.main, MainPanel::pvPollTimer, ATTR_ENABLED, on);
}

} // namespace

int PVRd(Controller& c, int panel, CtrlId control, int event) {
    if (event != EVENT_COMMIT) return 0;
    int on = 0;
    GetCtrlVal(panel, control, &on);
    startPvPolling(c, on != 0);
    return 0;
}

void resumePvPolling(Controller& c) {
    const int p = gPanels.main;
    if (!c.line().linkUp()) {
        showPvNote(c, PvNote::off);
        return;
    }
    SetCtrlAttribute(p, MainPanel::pvReadSwitch, ATTR_DIMMED, 0);
    SetCtrlVal(p, MainPanel::pvReadSwitch, 1);
    startPvPolling(c, true);
    pollLiveValues(c);
}

namespace {
void (*gAlarmListener)(Controller&, uint16_t) = nullptr;
} // namespace

void setAlarmStatusListener(void (*listener)(Controller&, uint16_t status)) {
    gAlarmListener = listener;
}

int ChkAlarm(Controller& c, int, CtrlId, int event) {
    if (event != EVENT_TIMER_TICK) return 0;
    if (!c.line().linkUp()) return 0;
    const std::optional<uint16_t> status = ChkAlarmStatus(c);
    if (status && gAlarmListener) gAlarmListener(c, *status);
    return 0;
}
