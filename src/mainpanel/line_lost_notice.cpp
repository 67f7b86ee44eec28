#include "mainpanel/line_lost_notice.h"

#include "link/session.h"
#include "panelkit/panel_service.h"

#include <mutex>
#include <vector>

namespace {

constexpr const char* kTitle = "Connection Lost";

std::mutex noticeMutex;
int lostPort = 0;
std::vector<std::string> interrupted;

std::string noticeText() {
    std::string text = "COM" + std::to_string(lostPort) +
                       " has gone away: the serial adapter was unplugged or failed.\nPlug it in "
                       "again: the program reconnects when the adapter is back under its name. "
                       "Or select the COM port again to reconnect.";
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

bool reportIfLineLost(const std::string& whatBecameOfIt) {
    if (!session().lineLost()) return false;
    std::string text;
    {
        std::lock_guard lock(noticeMutex);
        if (!lostPort) lostPort = session().comPort();
        interrupted.push_back(whatBecameOfIt);
        text = noticeText();
    }
    NoticePopup(kTitle, text);
    return true;
}
