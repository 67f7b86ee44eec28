#include "mainpanel/line_lost_notice.h"

#include "link/controller.h"
#include "link/line.h"
#include "panelkit/panel_service.h"
#include "serial/com_map.h"
#include "serial/comes_back.h"

#include <mutex>
#include <vector>

namespace {

constexpr const char* kTitle = "Connection Lost";

std::mutex noticeMutex;
int lostPort = 0;
std::vector<std::string> interrupted;

// Reconnecting by itself is promised only where the panels do it: by the
// same rule.
std::string noticeText() {
    const std::string port = "COM" + std::to_string(lostPort);
    const std::string device = comDevice(lostPort);
    std::string text =
        comesBackUnderItsName(device)
            ? port + " has gone away: the serial adapter was unplugged or failed.\nPlug it in "
                     "again: the program reconnects when the adapter is back under its name. "
                     "Or select the COM port again to reconnect."
            : port + " has gone away: " + device +
                  " was closed at its other end.\nThe program does not reconnect to it by "
                  "itself: select the COM port again once the line is back.";
    for (const std::string& what : interrupted)
        text += "\n\n" + what;
    return text;
}

} // namespace

void showLineLost(int port) {
    std::string text;
    {
        std::lock_guard lock(noticeMutex);
        lostPort = port;
        interrupted.clear();
        text = noticeText();
    }
    // A newer notice replaces the older one: there is only ever one.
    NoticePopup(kTitle, text);
}

void withdrawLineLost() {
    {
        std::lock_guard lock(noticeMutex);
        lostPort = 0;
        interrupted.clear();
    }
    WithdrawNotice(kTitle);
}

bool reportIfLineLost(Controller& c, const std::string& whatBecameOfIt) {
    if (!c.line().lineLost()) return false;
    std::string text;
    {
        std::lock_guard lock(noticeMutex);
        if (!lostPort) lostPort = c.line().comPort();
        interrupted.push_back(whatBecameOfIt);
        text = noticeText();
    }
    NoticePopup(kTitle, text);
    return true;
}
