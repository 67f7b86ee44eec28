#include "monitor/panel/pv_polling.h"

#include "link/control_mode.h"
#include "link/controller.h"
#include "link/line.h"
#include "link/registers.h"
#include "mainpanel/main_panel_view.h"
#include "mainpanel/parameter_display.h"
#include "monitor/live_reads.h"
#include "monitor/panel/pv_note.h"

namespace {

// While the controller runs its step program, it moves SV by itself.
bool programRuns(const Controller& c) {
    return c.mode() == ControlMode::program;
}

// PV into the display; while a program runs, SV into its entry
// as well, so the panel shows the set value the program drives.
void pollLiveValues(Controller& c) {
    const std::optional<float> pv = ReadPVPVOF(c);
    if (!pv) {
        // One mark, no popup: a silent controller would otherwise bury the
        // operator under a message a second.
        markPvStale(c, true);
        return;
    }
    MainPanelView::showPv(*pv);
    markPvStale(c, false);
    if (programRuns(c) && ReadSVSVOF(c)) showParameter(c, reg::setValue);
}

} // namespace

void markPvStale(Controller& c, bool stale) {
    // The note follows the line (silent, then lost) while the display stays grey.
    showPvNote(c, stale ? PvNote::stale : PvNote::live);
    MainPanelView::dimPv(stale);
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
    if (c.line().linkUp() && MainPanelView::pvPolling()) pollLiveValues(c);
}

namespace {

void startPvPolling(Controller& c, bool on) {
    // Switched on, the display counts as fresh again until a poll says otherwise.
    showPvNote(c, on ? PvNote::live : PvNote::off);
    MainPanelView::dimPv(!on);
    MainPanelView::setPvPolling(on);
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
    if (!c.line().linkUp()) {
        showPvNote(c, PvNote::off);
        return;
    }
    MainPanelView::showPvReadSwitch(true, true);
    startPvPolling(c, true);
    pollLiveValues(c);
}
