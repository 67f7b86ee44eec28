#include "connection/panel/connection.h"

#include "base/atomic_file.h"
#include "connection/com_settings_file.h"
#include "connection/panel/alarm_notices.h"
#include "connection/panel/connection_dialog.h"
#include "link/line.h"
#include "mainpanel/bulk_read_view.h"
#include "mainpanel/ids/main_panel.h"
#include "mainpanel/main_panel_view.h"
#include "mainpanel/wait_popup.h"
#include "panelkit/panel_runtime.h"
#include "panelkit/prompts.h"
#include "params/params_state.h"
#include "serial/baud_rates.h"
#include "serial/com_map.h"
#include "serial/net_endpoint.h"
#include "serial/port_list.h"
#include "serial/serial_service.h"

#include <cstdio>

namespace {

constexpr const char* kCommErrorText =
    "Communication error between PC & Controller!\n\t\t\t\t\tIt could be the controller not "
    "fully power up before software starts.\n\t\t\t\t\tTry re-select COM port again or EXIT for "
    "trouble shooting.\n\n\t\t\t\t\t                         Or\n\t\t\t\t\tThe controller ID "
    "value is invalid.\nPlease change to the correct ID number.\n";

constexpr const char* kControllerIdHelp =
    "Make sure the controller ID number match the number on the software.\n\t\t\t\tTo "
    "change/review controller ID on the controller, use 4 buttons at the controller front "
    "panel.\n\t\t\t\tPress <SET> & <LEFT> two buttons together and hold them until the SV change "
    "to <AlrM>\n\t\t\t\tWhatch the SV value, press <UP>  key several times until it shows "
    "<oPt1>\n\t\t\t\tWhatch the PV value, press <SET> key several timse until it shows "
    "<id>\n\t\t\t\tNow to change the number of the ID at the SV display:\n\t\t\t\tUse <LEFT> key "
    "to change the decimal position\n\t\t\t\tUse <UP> or <DOWN> key to change the value of the "
    "number\n\t\t\t\tWhen id value is set, press <SET> then <UP> two buttons to return to normal "
    "operation.";

// Told without holding the control thread; the operator chooses in the
// Connection dialog once they have read why.
void tellAndChoose(Connection& connection, const std::string& title, const std::string& text) {
    ConnectionDialog* dialog = connection.dialog;
    connection.prompts->tell(title, text, dialog, [dialog] { dialog->open(); });
}

} // namespace

void saveComSettings(Connection& connection) {
    const Controller& c = connection.controller;
    const Line& s = c.line();
    const NoticeSwitches notices = connection.notices.switches();
    // The file keeps the last real connection: a demo on the simulated
    // controller must not make the next start look for it on the wrong port.
    if (comEntry(s.comPort()).source == ComSource::simulator) return;
    // A gateway's endpoint is kept with its number: without --com the number
    // would mean a serial device next time.
    const std::string device = comDevice(s.comPort());
    const std::string endpoint = isNetworkDevice(device) ? device : "";
    std::string why;
    if (!writeFileAtomically(
            kComSettingsFile,
            formatComSettings(s.comPort(), s.baudRate(), c.controllerId(), endpoint,
                              {s.parity(), s.stopBits(), notices.alarms, notices.silence}),
            &why))
        std::fprintf(stderr, "q7: cannot save the COM settings: %s\n", why.c_str());
}

void connectAtStartUp(Connection& connection) {
    connection.controller.setControllerId(uint16_t(MainPanelView::idEntered()));
    // Connecting at a rate the file did not mean would only fail obscurely:
    // the operator picks one first.
    if (!RdComFile(connection)) return;
    ComportInit(connection);
}

bool RdComFile(Connection& connection) {
    Controller& c = connection.controller;
    const std::optional<ComSettingsFields> file = loadComSettings();
    if (!file) return true;
    const ComSettingsFields& fields = *file;
    mapSavedEndpoint(fields);
    Line& s = c.line();
    if (fields.port) s.setComPort(*fields.port);
    if (fields.baudRate) s.setBaudRate(*fields.baudRate);
    if (fields.controllerId) c.setControllerId(*fields.controllerId);
    // After the three fields, what the file leaves out is what the program
    // has always done.
    if (fields.controllerId) {
        const ComSettingsExtra usual;
        s.setCharacterFrame(fields.parity.value_or(usual.parity),
                            fields.stopBits.value_or(usual.stopBits));
        connection.notices.setSwitches({fields.alarmNotices.value_or(usual.alarmNotices),
                                        fields.silenceNotices.value_or(usual.silenceNotices)});
    }
    // A number above the selector's usual ones gets an item of its own.
    if (s.comPort() >= 1 && s.comPort() <= kMaxComNumber)
        setRingItemText(MainPanel::handle, MainPanel::portSelector, s.comPort(),
                        comLabel(s.comPort()));
    SetCtrlVal(MainPanel::handle, MainPanel::portSelector, int(s.comPort()));
    MainPanelView::showId(int(c.controllerId()));
    if (fields.badControllerId) {
        tellAndChoose(connection, "Controller ID Not Usable",
                      std::string(kComSettingsFile) + " holds the controller id \"" +
                          *fields.badControllerId +
                          "\", which is not one a controller can have (1 to 247).\nChoose the "
                          "controller id in the Connection dialog; OK keeps it.");
        return false;
    }
    if (!fields.badBaudRate) return true;
    tellAndChoose(connection, "Baud Rate Not Usable",
                  std::string(kComSettingsFile) + " holds the baud rate \"" + *fields.badBaudRate +
                      "\", which is not one the line runs at (" + baudRateList() +
                      ").\nChoose the baud rate in the Connection dialog; OK keeps it.");
    return false;
}

void ComportInit(Connection& connection) {
    Controller& c = connection.controller;
    const int main = MainPanel::handle;
    int id = 0, port = 0;
    GetCtrlVal(main, MainPanel::idNumeric, &id);
    GetCtrlVal(main, MainPanel::portSelector, &port);
    Line& s = c.line();
    c.setControllerId(uint16_t(id));
    s.setComPort(uint16_t(port));

    if (s.comPort() > 8)
        MessagePopup("High Comport Number Warning!",
                     "Most of the computer cannot detect high comport number.\nTry to adjust to a "
                     "lower comport number.");

    // A new connection: what the record holds came from the line as it was.
    c.forgetAllHeld();
    if (s.open() < 0) {
        SetCtrlVal(main, MainPanel::connectionLed, 0);
        // The port's own reason follows, so the operator knows what to fix.
        MessagePopup("COM Port Finding Error!",
                     "Computer CANNOT link to the controller.\nPlease make sure COM port setup "
                     "properly.\n\n" +
                         comOpenError(s.port()));
        return;
    }
    const ProbeResult probe = c.probe();
    if (!probe.answered) {
        // A reply that came but was none of our controller's is named: it
        // points at the id or another device, not at the cable.
        const std::string reply = probeReplyText(probe, c.controllerId());
        MessagePopup("COMMUNICATION ERROR!",
                     reply.empty() ? kCommErrorText
                                   : kCommErrorText + ("\nWhat came back: " + reply + "."));
        return;
    }
    SetCtrlVal(main, MainPanel::identificationDisplay, int(probe.identification));

    showWaitPopup(c);
    saveComSettings(connection);
    DimmedParmMenuFunction(c, 0);
    ReadParmsFromMeter(c);
    if (connection.connected) connection.connected();
}

int SetComport(Connection& connection, int, CtrlId, int event) {
    if (event == EVENT_COMMIT) ComportInit(connection);
    if (event == EVENT_RIGHT_CLICK) MessagePopup("<Controller ID> Help", kControllerIdHelp);
    return 0;
}

int ChangeAddrID(Controller& c, int panel, CtrlId control, int event) {
    if (event != EVENT_COMMIT) return 0;
    int id = 0;
    GetCtrlVal(panel, control, &id);
    // Another controller: nothing read from the last one is its value.
    if (uint16_t(id) != c.controllerId()) c.forgetAllHeld();
    c.setControllerId(uint16_t(id));
    return 0;
}
