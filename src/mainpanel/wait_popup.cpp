#include "mainpanel/wait_popup.h"

#include "link/controller.h"
#include "link/transfer_pace.h"
#include "mainpanel/ids/wait_panel.h"
#include "panelkit/panel_service.h"

#include <string>

namespace {

std::string waitText(const std::string& what) {
    return "Please wait: " + what + "...";
}

std::string progressText(const std::string& what, int done, int total) {
    return "Please wait: " + what + ", " + std::to_string(done) + " of " + std::to_string(total);
}

// The Cancel button is a toggle: a press is kept on the GUI side at once,
// while this thread is busy with the transfer, and looked at between registers.
bool cancelPressed() {
    int pressed = 0;
    GetCtrlVal(WaitPanel::handle, WaitPanel::cancelButton, &pressed);
    return pressed != 0;
}

// Whether the popup is up: a transfer that follows another installs it once.
bool gShown = false;

} // namespace

bool waitPopupShown() {
    return gShown;
}

void forgetWaitPopup() {
    gShown = false;
}

void showWaitPopup(Controller& c, const std::string& what) {
    if (!gShown) {
        SetCtrlVal(WaitPanel::handle, WaitPanel::cancelButton, 0);
        InstallPopup(WaitPanel::handle);
    }
    gShown = true;
    SetCtrlVal(WaitPanel::handle, WaitPanel::waitLabel, waitText(what));
    c.line().setTransferWatcher([what](int done, int total) {
        if (cancelPressed()) return false;
        SetCtrlVal(WaitPanel::handle, WaitPanel::waitLabel, progressText(what, done, total));
        return true;
    });
}

void removeWaitPopup(Controller& c) {
    c.line().setTransferWatcher({});
    gShown = false;
    RemovePopup(0);
}
