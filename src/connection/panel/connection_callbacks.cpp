#include "connection/panel/connection_callbacks.h"

#include "connection/panel/alarm_notices.h"
#include "connection/panel/connection.h"
#include "connection/panel/connection_dialog.h"
#include "connection/panel/line_view.h"
#include "connection/panel/program_exit.h"
#include "link/controller.h"
#include "link/serial_status.h"
#include "panelkit/callback_registry.h"

namespace {

int DisplayRS232Error(Controller& c, int, CtrlId, int event) {
    if (event == EVENT_COMMIT)
        MessagePopup("RS232 Message", takeLineStatusText(c.line().comPort()));
    return 0;
}

} // namespace

void registerConnectionCallbacks(Controller& c) {
    registerCallback("SetComport", boundTo<SetComport>(c));
    registerCallback("ChangeAddrID", boundTo<ChangeAddrID>(c));
    registerCallback("Quit", boundTo<Quit>(c));
    registerCallback("ExitParm", boundTo<ExitParm>(c));
    registerCallback("DisplayRS232Error", boundTo<DisplayRS232Error>(c));
    registerCallback("OpenConnection", boundTo<OpenConnection>(c));
    registerCallback("TestConnection", boundTo<TestConnection>(c));
    registerCallback("KeepConnection", boundTo<KeepConnection>(c));
    registerCallback("CloseConnection", boundTo<CloseConnection>(c));
    showLineEventsOnPanels(c);
    watchAlarmsAndSilence(c);
}
