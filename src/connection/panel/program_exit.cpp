#include "connection/panel/program_exit.h"

#include "chart/data_log.h"
#include "chart/panel/ids/chart_panel.h"
#include "connection/panel/connection.h"
#include "link/registers.h"
#include "link/transaction.h"
#include "link/transfer.h"
#include "mainpanel/ids/main_panel.h"
#include "mainpanel/main_panel_view.h"
#include "params/mode_write.h"

namespace {

struct PollingTimers {
    double pv = 0;
    double chart = 0;
};

// Stops both timers and tells which of them were running.
PollingTimers stopPollingTimers() {
    PollingTimers running;
    running.pv = MainPanelView::pvPolling() ? 1 : 0;
    GetCtrlAttribute(ChartPanel::handle, ChartPanel::chartTimer, ATTR_ENABLED, &running.chart);
    MainPanelView::setPvPolling(false);
    SetCtrlAttribute(ChartPanel::handle, ChartPanel::chartTimer, ATTR_ENABLED, 0);
    return running;
}

void restartPollingTimers(const PollingTimers& running) {
    MainPanelView::setPvPolling(running.pv != 0);
    SetCtrlAttribute(ChartPanel::handle, ChartPanel::chartTimer, ATTR_ENABLED, running.chart);
}

// Off was not confirmed: the controller may go on heating with nobody
// watching. The operator decides whether to end all the same.
bool endWithoutOff(const Outcome& outcome) {
    const int choice = GenericMessagePopup(
        "Controller Not Switched Off",
        modeWriteFailure(outcome, ControlMode::off) +
            "\nIts output may still be on.\nEnd the program anyway, or stay and check the "
            "controller?",
        "End Anyway", "Stay", "", 2, 2, 2);
    return choice == 1;
}

void closePortAndQuit(Controller& c) {
    c.line().close();
    QuitUserInterface(0);
}

// Whether the controller may be running a function (the status word's low
// byte). A controller that says nothing runs nothing worth asking about; one
// whose answer cannot be read may, and the operator is asked.
bool functionMayRun(const Outcome& status) {
    if (status.ok()) return (status.words[0] & 0xFF) != 0;
    return !status.silent();
}

} // namespace

int Quit(Connection& connection, int, CtrlId, int event) {
    if (event != EVENT_COMMIT) return 0;
    // Nothing is sent, but a log being written is closed so no line is lost.
    connection.log.close();
    closePortAndQuit(connection.controller);
    return 0;
}

int ExitParm(Connection& connection, int, CtrlId, int event) {
    if (event != EVENT_COMMIT) return 0;
    Controller& c = connection.controller;
    const Outcome status = [&c] {
        const Transaction t(c.line(), settle::poll);
        return readRegisters(c, reg::status);
    }();

    if (functionMayRun(status) && c.line().portStatus() >= 0) {
        const int choice = GenericMessagePopup(
            "Program Ending",
            "Ending program will trun off all running function including data logging!",
            "Ending Program", "Cancel", "", 2, 1, 2);
        if (choice != 1) return 0;
        const PollingTimers running = stopPollingTimers();
        const Outcome off = [&c] {
            const Transaction t(c.line(), settle::exitPause);
            return writeControlMode(c, ControlMode::off);
        }();
        if (!off.ok() && !endWithoutOff(off)) {
            // Staying means running on as before: polls, chart and log.
            restartPollingTimers(running);
            return 0;
        }
        connection.log.close();
        closePortAndQuit(c);
        return 0;
    }
    stopPollingTimers();
    connection.log.close();
    closePortAndQuit(c);
    return 0;
}
