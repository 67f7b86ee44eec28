#include "service/eng_access.h"

#include "mainpanel/ids/main_panel.h"
#include "panelkit/panel_handles.h"
#include "service/ids/eng_code_panel.h"

namespace {

// The code stays on screen no longer than it takes to check it, so the next
// person to open the popup does not find it typed in.
void closeCodePopup() {
    SetCtrlVal(gPanels.engCode, EngCodePanel::codeNumeric, 0);
    RemovePopup(0);
}

} // namespace

void TurnOnEngFunc() {
    InstallPopup(gPanels.engCode);
}

int CheckEngCode(int, CtrlId, int event) {
    if (event != EVENT_COMMIT) return 0;
    unsigned short code = 0;
    GetCtrlVal(gPanels.engCode, EngCodePanel::codeNumeric, &code);
    // The level is the buttons' dimmed state; nothing here dims them again.
    if (code == kEngAccessCode) {
        SetCtrlAttribute(gPanels.main, MainPanel::debugButton, ATTR_DIMMED, 0);
        SetCtrlAttribute(gPanels.main, MainPanel::pidButton, ATTR_DIMMED, 0);
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
