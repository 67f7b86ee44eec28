#include "mainpanel/wait_popup.h"

#include "link/controller.h"
#include "link/transfer_pace.h"
#include "mainpanel/ids/wait_panel.h"
#include "panelkit/panel_runtime.h"

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

} // namespace

bool waitPopupShown() {
    return popupInstalled(WaitPanel::handle);
}

void showWaitPopup(Controller& c, const std::string& what) {
    // A transfer that follows another (the connection hands over to the
    // parameter read) finds it up already.
    if (!waitPopupShown()) {
        SetCtrlVal(WaitPanel::handle, WaitPanel::cancelButton, 0);
        InstallPopup(WaitPanel::handle);
    }
    SetCtrlVal(WaitPanel::handle, WaitPanel::waitLabel, waitText(what));
    c.line().setTransferWatcher([what](int done, int total) {
        if (cancelPressed()) return false;
        SetCtrlVal(WaitPanel::handle, WaitPanel::waitLabel, progressText(what, done, total));
        return true;
    });
}

void removeWaitPopup(Controller& c) {
    c.line().setTransferWatcher({});
    RemovePopup(0);
}
