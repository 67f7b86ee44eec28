#include "monitor/panel/pv_polling.h"

#include "link/control_mode.h"
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
void pollLiveValues() {
    const std::optional<float> pv = ReadPVPVOF();
    if (!pv) {
        // One mark, no popup: a silent controller would otherwise bury the
        // operator under a message a second.
        markPvStale(true);
        return;
    }
    gLive.lastPV = *pv;
    SetCtrlVal(gPanels.main, MainPanel::pvDisplay, gLive.lastPV);
    markPvStale(false);
    if (programRuns() && ReadSVSVOF()) showParameter(reg::setValue);
}

} // namespace

void showNoPvWhenDisconnected() {
    static const int handle = addLineObserver(onLineEvent);
    (void)handle;
}

void markPvStale(bool stale) {
    // The note follows the line (silent, then lost) while the display stays grey.
    showPvNote(stale ? PvNote::stale : PvNote::live);
    if (gLive.pvStale == stale) return;
    gLive.pvStale = stale;
    SetCtrlAttribute(gPanels.main, MainPanel::pvDisplay, ATTR_DIMMED, stale ? 1 : 0);
}

int ReadPV(int panel, CtrlId control, int event) {
    if (event != EVENT_TIMER_TICK) return 0;
    // A tick queued just before the switch or the chart stopped the timer
    // must not send one more request behind the operator's back.
    if (!TimerRunning(panel, control)) return 0;
    // Before a connection there is nothing to ask; the display must not pass
    // the panel's initial 0 off as a reading.
    if (!session().linkUp()) {
        markPvStale(true);
        return 0;
    }
    pollLiveValues();
    return 0;
}

void readPvAfterRescale() {
    // A poll that is switched off leaves the display grey; it is not read
    // behind the operator's back.
    if (session().linkUp() && TimerRunning(gPanels.main, MainPanel::pvPollTimer)) pollLiveValues();
}

namespace {

void startPvPolling(bool on) {
    // Switched on, the display counts as fresh again until a poll says otherwise.
    gLive.pvStale = false;
    showPvNote(on ? PvNote::live : PvNote::off);
    SetCtrlAttribute(gPanels.main, MainPanel::pvDisplay, ATTR_DIMMED, on ? 0 : 1);
    SetCtrlAttribute(gPanels.main, MainPanel::pvPollTimer, ATTR_ENABLED, on);
}

} // namespace

int PVRd(int panel, CtrlId control, int event) {
    if (event != EVENT_COMMIT) return 0;
    int on = 0;
    GetCtrlVal(panel, control, &on);
    startPvPolling(on != 0);
    return 0;
}

void resumePvPolling() {
    const int p = gPanels.main;
    if (!session().linkUp()) {
        showPvNote(PvNote::off);
        return;
    }
    SetCtrlAttribute(p, MainPanel::pvReadSwitch, ATTR_DIMMED, 0);
    SetCtrlVal(p, MainPanel::pvReadSwitch, 1);
    startPvPolling(true);
    pollLiveValues();
}

namespace {
void (*gAlarmListener)(uint16_t) = nullptr;
} // namespace

void setAlarmStatusListener(void (*listener)(uint16_t status)) {
    gAlarmListener = listener;
}

int ChkAlarm(int, CtrlId, int event) {
    if (event != EVENT_TIMER_TICK) return 0;
    if (!session().linkUp()) return 0;
    const std::optional<uint16_t> status = ChkAlarmStatus();
    if (status && gAlarmListener) gAlarmListener(*status);
    return 0;
}
