#include "mainpanel/main_panel_view.h"

#include "mainpanel/ids/main_panel.h"
#include "mainpanel/mode_view.h"
#include "panelkit/panel_service.h"

namespace ids = MainPanel;

void MainPanelView::showPv(double pv) {
    SetCtrlVal(MainPanel::handle, ids::pvDisplay, pv);
}

void MainPanelView::clearPv() {
    ClearCtrlVal(MainPanel::handle, ids::pvDisplay);
}

void MainPanelView::dimPv(bool dimmed) {
    SetCtrlAttribute(MainPanel::handle, ids::pvDisplay, ATTR_DIMMED, dimmed ? 1 : 0);
}

bool MainPanelView::pvPolling() {
    return TimerRunning(MainPanel::handle, ids::pvPollTimer);
}

void MainPanelView::setPvPolling(bool on) {
    SetCtrlAttribute(MainPanel::handle, ids::pvPollTimer, ATTR_ENABLED, on ? 1 : 0);
}

void MainPanelView::showPvReadSwitch(bool on, bool usable) {
    SetCtrlVal(MainPanel::handle, ids::pvReadSwitch, on ? 1 : 0);
    SetCtrlAttribute(MainPanel::handle, ids::pvReadSwitch, ATTR_DIMMED, usable ? 0 : 1);
}

void MainPanelView::showMode(ControlMode mode) {
    SetCtrlVal(MainPanel::handle, ids::modeRing, codeOf(mode));
    showModeControls(mode);
}

ControlMode MainPanelView::modeOnRing() {
    int code = 0;
    GetCtrlVal(MainPanel::handle, ids::modeRing, &code);
    return controlModeOf(uint16_t(code));
}

bool MainPanelView::autoTunePolling() {
    return TimerRunning(MainPanel::handle, ids::autoTuneTimer);
}

void MainPanelView::blinkAutoTune() {
    int lit = 0;
    GetCtrlVal(MainPanel::handle, ids::autoTuneIndicator, &lit);
    SetCtrlVal(MainPanel::handle, ids::autoTuneIndicator, lit ? 0 : 1);
}

int MainPanelView::idEntered() {
    int id = 0;
    GetCtrlVal(MainPanel::handle, ids::idNumeric, &id);
    return id;
}

void MainPanelView::showId(int id) {
    SetCtrlVal(MainPanel::handle, ids::idNumeric, id);
}
