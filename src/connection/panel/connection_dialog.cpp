#include "connection/panel/connection_dialog.h"

#include "connection/panel/alarm_notices.h"
#include "connection/panel/connection.h"
#include "connection/panel/ids/connection_panel.h"
#include "connection/panel/side_probe.h"
#include "link/controller.h"
#include "link/line.h"
#include "mainpanel/ids/main_panel.h"
#include "mainpanel/main_panel_view.h"
#include "panelkit/panel_runtime.h"
#include "params/params_state.h"
#include "serial/baud_rates.h"
#include "serial/com_map.h"
#include "serial/port_list.h"

#include <string>

namespace ids = ConnectionPanel;

namespace {

LineSettings shown() {
    const int p = ConnectionPanel::handle;
    LineSettings s;
    GetCtrlVal(p, ids::portRing, &s.port);
    GetCtrlVal(p, ids::baudRing, &s.baud);
    GetCtrlVal(p, ids::parityRing, &s.parity);
    GetCtrlVal(p, ids::stopBitsRing, &s.stopBits);
    GetCtrlVal(p, ids::idNumeric, &s.id);
    return s;
}

void applyToSession(Controller& c, const LineSettings& chosen) {
    Line& s = c.line();
    s.setComPort(uint16_t(chosen.port));
    s.setBaudRate(chosen.baud);
    s.setCharacterFrame(chosen.parity, chosen.stopBits);
    if (uint16_t(chosen.id) != c.controllerId()) c.forgetAllHeld();
    c.setControllerId(uint16_t(chosen.id));
}

// What the probe with the chosen settings found, in one sentence.
std::string probeOutcome(const SideProbe& found, const LineSettings& chosen) {
    if (found.openError) return "The port does not open: " + *found.openError;
    const ProbeResult& probe = found.probe;
    if (probe.answered)
        return "Controller " + std::to_string(chosen.id) + " answers: model " +
               std::string(1, char(probe.modelCode)) + ", identification " +
               std::to_string(probe.identification) + ".";
    const std::string reply = probeReplyText(probe, uint16_t(chosen.id));
    return reply.empty() ? "No reply from controller " + std::to_string(chosen.id) + "."
                         : "No controller " + std::to_string(chosen.id) + " answers: " + reply +
                               " came back.";
}

// A file's rate the line does not run at leaves the ring without a pick.
bool pickedBaudRate(const LineSettings& chosen) {
    if (standardBaud(chosen.baud)) return true;
    SetCtrlVal(ConnectionPanel::handle, ids::testResult,
               "Choose a baud rate (" + baudRateList() + ").");
    return false;
}

void closeDialog() {
    SetCtrlVal(ConnectionPanel::handle, ids::testResult, std::string());
    RemovePopup(0);
}

} // namespace

void openConnectionDialog(Connection& connection) {
    const int p = ConnectionPanel::handle;
    if (p <= 0) return;
    const Controller& c = connection.controller;
    const Line& s = c.line();
    const NoticeSwitches notices = connection.notices.switches();
    for (int n : selectorComNumbers())
        setRingItemText(p, ids::portRing, n, comLabel(n));
    if (s.comPort() >= 1 && s.comPort() <= kMaxComNumber)
        setRingItemText(p, ids::portRing, s.comPort(), comLabel(s.comPort()));
    SetCtrlVal(p, ids::portRing, int(s.comPort()));
    // A rate the ring does not offer shows as no pick: the operator chooses.
    SetCtrlVal(p, ids::baudRing, int(s.baudRate()));
    SetCtrlVal(p, ids::parityRing, int(s.parity()));
    SetCtrlVal(p, ids::stopBitsRing, int(s.stopBits()));
    SetCtrlVal(p, ids::idNumeric, int(c.controllerId()));
    SetCtrlVal(p, ids::alarmNoticeSwitch, notices.alarms ? 1 : 0);
    SetCtrlVal(p, ids::silenceNoticeSwitch, notices.silence ? 1 : 0);
    SetCtrlVal(p, ids::testResult, std::string());
    InstallPopup(p);
}

int OpenConnection(Connection& connection, int, CtrlId, int event) {
    if (event == EVENT_COMMIT) openConnectionDialog(connection);
    return 0;
}

int TestConnection(Controller& c, int, CtrlId, int event) {
    if (event != EVENT_COMMIT) return 0;
    const LineSettings chosen = shown();
    if (!pickedBaudRate(chosen)) return 0;
    SetCtrlVal(ConnectionPanel::handle, ids::testResult, std::string("Testing..."));
    // Beside the live connection: until OK, the main panel's controller is
    // the one it shows, and goes on being polled.
    SetCtrlVal(ConnectionPanel::handle, ids::testResult,
               probeOutcome(probeBeside(c.line(), chosen), chosen));
    return 0;
}

int KeepConnection(Connection& connection, int, CtrlId, int event) {
    if (event != EVENT_COMMIT) return 0;
    const LineSettings chosen = shown();
    if (!pickedBaudRate(chosen)) return 0;
    applyToSession(connection.controller, chosen);
    // The main panel's selectors are what a connection starts from.
    const int main = MainPanel::handle;
    if (chosen.port >= 1 && chosen.port <= kMaxComNumber)
        setRingItemText(main, MainPanel::portSelector, chosen.port, comLabel(chosen.port));
    SetCtrlVal(main, MainPanel::portSelector, chosen.port);
    MainPanelView::showId(chosen.id);
    int alarms = 1, silence = 1;
    GetCtrlVal(ConnectionPanel::handle, ids::alarmNoticeSwitch, &alarms);
    GetCtrlVal(ConnectionPanel::handle, ids::silenceNoticeSwitch, &silence);
    connection.notices.setSwitches({alarms != 0, silence != 0});
    // Kept whether or not a controller answers now: the operator chose them.
    saveComSettings(connection);
    closeDialog();
    ComportInit(connection);
    return 0;
}

int CloseConnection(int, CtrlId, int event) {
    // Nothing was changed: Test leaves the live connection as it was.
    if (event == EVENT_COMMIT) closeDialog();
    return 0;
}
