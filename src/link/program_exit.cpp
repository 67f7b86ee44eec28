#include "link/program_exit.h"

#include "chart/data_log.h"
#include "link/link_state.h"
#include "link/transaction.h"
#include "runtime/ids/chart_panel.h"
#include "runtime/ids/main_panel.h"
#include "runtime/panel_handles.h"
#include "runtime/serial_service.h"

namespace {

void stopPollingTimers() {
    SetCtrlAttribute(gPanels.main, MainPanel::pvPollTimer, ATTR_ENABLED, 0);
    SetCtrlAttribute(gPanels.chart, ChartPanel::chartTimer, ATTR_ENABLED, 0);
}

void closePortAndQuit() {
    if (gLink.linkUp) CloseCom(gLink.comPort);
    QuitUserInterface(0);
}

} // namespace

int Quit(int, CtrlId, int event) {
    if (event != EVENT_COMMIT) return 0;
    // Nothing is sent, but a log being written is closed so no line is lost.
    closeDataLog();
    closePortAndQuit();
    return 0;
}

int ExitParm(int, CtrlId, int event) {
    if (event != EVENT_COMMIT) return 0;
    preparation(0.03);
    Frame status = templates::statusRead;
    const Reply reply = exchange(status, gLink.controllerId, 7);

    if (reply.bytes[4] != 0 && gLink.portStatus >= 0) {
        const int choice = GenericMessagePopup(
            "Program Ending",
            "Ending program will trun off all running function including data logging!",
            "Ending Program", "Cancel", "", 2, 1, 2);
        if (choice != 1) return 0;
        stopPollingTimers();
        closeDataLog();
        Delay(0.03);
        Frame off = templates::modeOff;
        exchangeWrite(off, gLink.controllerId, 0);
        closePortAndQuit();
        return 0;
    }
    stopPollingTimers();
    closeDataLog();
    closePortAndQuit();
    return 0;
}

int Info(int, CtrlId, int event) {
    if (event == EVENT_COMMIT)
        MessagePopup("Q7 Temperature Controller",
                     "Q7 controller operator and service program, version 1.0 (2026).");
    if (event == EVENT_RIGHT_CLICK) InstallPopup(gPanels.engCode);
    return 0;
}
