#include "mainpanel/main_panel_view.h"

#include "mainpanel/ids/main_panel.h"
#include "mainpanel/mode_view.h"
#include "panelkit/panel_handles.h"
#include "panelkit/panel_service.h"

namespace ids = MainPanel;

void MainPanelView::showPv(double pv) {
    SetCtrlVal(gPanels.main, ids::pvDisplay, pv);
}

void MainPanelView::clearPv() {
    ClearCtrlVal(gPanels.main, ids::pvDisplay);
}

void MainPanelView::dimPv(bool dimmed) {
    SetCtrlAttribute(gPanels.main, ids::pvDisplay, ATTR_DIMMED, dimmed ? 1 : 0);
}

bool MainPanelView::pvPolling() {
    return TimerRunning(gPanels.main, ids::pvPollTimer);
}

void MainPanelView::setPvPolling(bool on) {
    SetCtrlAttribute(gPanels.main, ids::pvPollTimer, ATTR_ENABLED, on ? 1 : 0);
}

void MainPanelView::showPvReadSwitch(bool on, bool usable) {
    SetCtrlVal(gPanels.main, ids::pvReadSwitch, on ? 1 : 0);
    SetCtrlAttribute(gPanels.main, ids::pvReadSwitch, ATTR_DIMMED, usable ? 0 : 1);
}

void MainPanelView::showMode(ControlMode mode) {
    SetCtrlVal(gPanels.main, ids::modeRing, codeOf(mode));
    showModeControls(mode);
}

ControlMode MainPanelView::modeOnRing() {
    int code = 0;
    GetCtrlVal(gPanels.main, ids::modeRing, &code);
    return controlModeOf(uint16_t(code));
}

bool MainPanelView::autoTunePolling() {
    return TimerRunning(gPanels.main, ids::autoTuneTimer);
}

void MainPanelView::blinkAutoTune() {
    int lit = 0;
    GetCtrlVal(gPanels.main, ids::autoTuneIndicator, &lit);
    SetCtrlVal(gPanels.main, ids::autoTuneIndicator, lit ? 0 : 1);
}

int MainPanelView::idEntered() {
    int id = 0;
    GetCtrlVal(gPanels.main, ids::idNumeric, &id);
    return id;
}

void MainPanelView::showId(int id) {
    SetCtrlVal(gPanels.main, ids::idNumeric, id);
}
