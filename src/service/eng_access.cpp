#include "service/eng_access.h"

#include "mainpanel/ids/main_panel.h"
#include "service/ids/eng_code_panel.h"

namespace {

// The code stays on screen no longer than it takes to check it, so the next
// person to open the popup does not find it typed in.
void closeCodePopup() {
    SetCtrlVal(EngCodePanel::handle, EngCodePanel::codeNumeric, 0);
    RemovePopup(0);
}

} // namespace

void TurnOnEngFunc() {
    InstallPopup(EngCodePanel::handle);
}

int Info(int, CtrlId, int event) {
    if (event == EVENT_COMMIT)
        MessagePopup("Q7 Temperature Controller",
                     "Q7 controller operator and service program, version 1.0 (2026).");
    if (event == EVENT_RIGHT_CLICK) TurnOnEngFunc();
    return 0;
}

int CheckEngCode(int, CtrlId, int event) {
    if (event != EVENT_COMMIT) return 0;
    unsigned short code = 0;
    GetCtrlVal(EngCodePanel::handle, EngCodePanel::codeNumeric, &code);
    // The level is the buttons' dimmed state; nothing here dims them again.
    if (code == kEngAccessCode) {
        SetCtrlAttribute(MainPanel::handle, MainPanel::debugButton, ATTR_DIMMED, 0);
        SetCtrlAttribute(MainPanel::handle, MainPanel::pidButton, ATTR_DIMMED, 0);
    }
    closeCodePopup();
    return 0;
}

int ClosePopup(int, CtrlId, int event) {
    if (event == EVENT_COMMIT) closeCodePopup();
    return 0;
}

int NonUserPopup(int, CtrlId, int event) {
    if (event == EVENT_COMMIT || event == EVENT_RIGHT_CLICK)
        MessagePopup("Non-User Level Help", "Protocol & PID panel are not user level "
                                            "suported.\n\t\t\t\tThese functions cannot be open.\n");
    return 0;
}
