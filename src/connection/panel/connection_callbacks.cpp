#include "connection/panel/connection_callbacks.h"

#include "connection/panel/alarm_notices.h"
#include "connection/panel/connection.h"
#include "connection/panel/connection_dialog.h"
#include "connection/panel/line_view.h"
#include "connection/panel/program_exit.h"
#include "link/serial_status.h"
#include "panelkit/callback_registry.h"

namespace {

int DisplayRS232Error(int, CtrlId, int event) {
    if (event == EVENT_COMMIT) MessagePopup("RS232 Message", takeLineStatusText());
    return 0;
}

} // namespace

void registerConnectionCallbacks() {
    registerCallback("SetComport", SetComport);
    registerCallback("ChangeAddrID", ChangeAddrID);
    registerCallback("Quit", Quit);
    registerCallback("ExitParm", ExitParm);
    registerCallback("Info", Info);
    registerCallback("DisplayRS232Error", DisplayRS232Error);
    registerCallback("OpenConnection", OpenConnection);
    registerCallback("TestConnection", TestConnection);
    registerCallback("KeepConnection", KeepConnection);
    registerCallback("CloseConnection", CloseConnection);
    showLineEventsOnPanels();
    watchAlarmsAndSilence();
}
