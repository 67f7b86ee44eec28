#include "link/connection.h"

#include "link/com_settings_file.h"
#include "link/link_state.h"
#include "link/reply_checks.h"
#include "link/transaction.h"
#include "params/bulk_read.h"
#include "params/params_state.h"
#include "params/wait_popup.h"
#include "runtime/atomic_file.h"
#include "runtime/ids/main_panel.h"
#include "runtime/panel_handles.h"
#include "runtime/serial_service.h"

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

void saveComSettings() {
    std::string why;
    if (!writeFileAtomically(kComSettingsFile,
                             formatComSettings(gLink.comPort, gLink.baudRate, gLink.controllerId),
                             &why))
        std::fprintf(stderr, "q7: cannot save the COM settings: %s\n", why.c_str());
}

} // namespace

void RdComFile() {
    std::string text;
    if (!readSmallFile(kComSettingsFile, &text, 4096)) return;
    const ComSettingsFields fields = parseComSettings(text);
    if (fields.port) gLink.comPort = *fields.port;
    if (fields.baudRate) gLink.baudRate = *fields.baudRate;
    if (fields.controllerId) gLink.controllerId = *fields.controllerId;
    SetCtrlVal(gPanels.main, MainPanel::portSelector, int(gLink.comPort));
    SetCtrlVal(gPanels.main, MainPanel::idNumeric, int(gLink.controllerId));
}

void ComportInit() {
    const int main = gPanels.main;
    int id = 0, port = 0;
    GetCtrlVal(main, MainPanel::idNumeric, &id);
    GetCtrlVal(main, MainPanel::portSelector, &port);
    gLink.controllerId = uint16_t(id);
    gLink.comPort = uint16_t(port);

    if (gLink.comPort > 8)
        MessagePopup("High Comport Number Warning!",
                     "Most of the computer cannot detect high comport number.\nTry to adjust to a "
                     "lower comport number.");

    gLink.portStatus = OpenComConfig(gLink.comPort, "", gLink.baudRate, 0, 8, 2, 255, 255);
    Delay(0.05);
    if (gLink.portStatus < 0) {
        gParams.waitShown = 0;
        SetCtrlVal(main, MainPanel::connectionLed, 0);
        MessagePopup("COM Port Finding Error!",
                     "Computer CANNOT link to the controller.\nPlease make sure COM port setup "
                     "properly.");
        return;
    }
    SetXMode(gLink.comPort, 0);
    SetCTSMode(gLink.comPort, 0);
    gLink.linkUp = 1;
    SetComTime(gLink.comPort, 1.0);

    preparation(0.03);
    Frame probe = templates::probe;
    const Reply reply = exchange(probe, gLink.controllerId, 7);
    // Only the controller's own answer to this read says which model it is:
    // an exception reply, another slave's answer or a damaged one can carry
    // an '@' or a 'D' in the same place.
    const auto identification = singleRegisterValue(reply.bytes, reply.count, gLink.controllerId);
    const uint8_t modelCode = identification ? uint8_t(uint16_t(*identification) >> 8) : 0;
    if (modelCode == '@') {
        gLink.controllerVariant = 1;
    } else if (modelCode == 'D') {
        gLink.controllerVariant = 2;
    } else {
        SetCtrlVal(main, MainPanel::connectionLed, 0);
        MessagePopup("COMMUNICATION ERROR!", kCommErrorText);
        gLink.portStatus = -1;
        gLink.linkUp = 0;
        return;
    }
    SetCtrlVal(main, MainPanel::identificationDisplay, int(reply.bytes[4]));
    SetCtrlVal(main, MainPanel::connectionLed, 1);

    showWaitPopup();
    saveComSettings();
    DimmedParmMenuFunction(0);
    ReadParmsFromMeter();
}

int SetComport(int, CtrlId, int event) {
    if (event == EVENT_COMMIT) ComportInit();
    if (event == EVENT_RIGHT_CLICK) MessagePopup("<Controller ID> Help", kControllerIdHelp);
    return 0;
}

int ChangeAddrID(int panel, CtrlId control, int event) {
    if (event != EVENT_COMMIT) return 0;
    int id = 0;
    GetCtrlVal(panel, control, &id);
    gLink.controllerId = uint16_t(id);
    return 0;
}
