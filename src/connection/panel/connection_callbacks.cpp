#include "connection/panel/connection_callbacks.h"

#include "connection/panel/alarm_notices.h"
#include "connection/panel/connection.h"
#include "connection/panel/connection_dialog.h"
#include "connection/panel/program_exit.h"
#include "link/controller.h"
#include "link/serial_status.h"
#include "panelkit/callback_registry.h"

namespace {

int DisplayRS232Error(Controller& c, int, CtrlId, int event) {
    if (event == EVENT_COMMIT) MessagePopup("RS232 Message", takeLineStatusText(c.line().port()));
    return 0;
}

} // namespace

void registerConnectionCallbacks(Connection& connection) {
    Controller& c = connection.controller;
    registerCallback("SetComport", boundTo<SetComport>(connection));
    registerCallback("ChangeAddrID", boundTo<ChangeAddrID>(c));
    registerCallback("Quit", boundTo<Quit>(connection));
    registerCallback("ExitParm", boundTo<ExitParm>(connection));
    registerCallback("DisplayRS232Error", boundTo<DisplayRS232Error>(c));
    registerCallback("OpenConnection", boundTo<OpenConnection>(connection));
    registerCallback("ChkAlarm", boundTo<ChkAlarm>(connection.notices));
}
