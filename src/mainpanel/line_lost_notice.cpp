#include "mainpanel/line_lost_notice.h"

#include "link/controller.h"
#include "link/line.h"
#include "panelkit/panel_runtime.h"
#include "serial/com_map.h"
#include "serial/comes_back.h"

namespace {

constexpr const char* kLostTitle = "Connection Lost";

// Reconnecting by itself is promised only where the panels do it: by the
// same rule.
std::string noticeText(int lostPort) {
    const std::string port = "COM" + std::to_string(lostPort);
    const std::string device = comDevice(lostPort);
    return comesBackUnderItsName(device)
               ? port + " has gone away: the serial adapter was unplugged or failed.\nPlug it in "
                        "again: the program reconnects when the adapter is back under its name. "
                        "Or select the COM port again to reconnect."
               : port + " has gone away: " + device +
                     " was closed at its other end.\nThe program does not reconnect to it by "
                     "itself: select the COM port again once the line is back.";
}

} // namespace

void showLineLost(int port) {
    // A newer notice replaces the older one: there is only ever one.
    NoticePopup(kLostTitle, noticeText(port));
}

void withdrawLineLost() {
    WithdrawNotice(kLostTitle);
}

bool reportIfLineLost(Controller& c, const std::string& whatBecameOfIt) {
    if (!c.line().lineLost()) return false;
    // The notice that is open names the port that went; it keeps what each
    // interrupted piece of work came to.
    extendNotice(kLostTitle, "\n\n" + whatBecameOfIt, noticeText(c.line().comPort()));
    return true;
}
