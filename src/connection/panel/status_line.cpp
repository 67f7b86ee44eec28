#include "connection/panel/status_line.h"

#include "base/number_text.h"
#include "link/controller.h"
#include "link/line.h"
#include "mainpanel/ids/main_panel.h"
#include "panelkit/gui_call.h"
#include "panelkit/panel_runtime.h"
#include "serial/com_map.h"

#include <chrono>
#include <mutex>

namespace {

constexpr const char* kSeparator = " \xC2\xB7 "; // a middle dot

std::mutex factsMutex;
std::string lostAt, reconnectedAt;
// What the line shows; touched on the GUI thread only, so refreshes from
// either thread cannot overtake one another.
std::string lastShown;

std::string ageText(double seconds) {
    // Tenths while they still tell something; whole seconds after that.
    return seconds < 10 ? formatFixed(seconds, 1) + " s" : formatWhole((long long)seconds) + " s";
}

std::string replyText(const LineFacts& f) {
    if (!f.replyAge) return "no reply yet";
    if (f.silent) return "no reply since " + f.replyClock + " (" + ageText(*f.replyAge) + ")";
    return "last reply " + ageText(*f.replyAge) + " ago";
}

} // namespace

std::string statusText(const LineFacts& f) {
    std::string text = f.port > 0 ? "COM" + std::to_string(f.port) + " " + f.device
                                  : std::string("no COM port chosen");
    text += kSeparator + std::string("id ") + std::to_string(f.controllerId);
    if (!f.connected) {
        text += kSeparator;
        text += f.lost ? "connection lost at " + f.lostAt : std::string("not connected");
        return text;
    }
    text += kSeparator + std::string("model ") + f.model;
    if (!f.reconnectedAt.empty())
        text += kSeparator + std::string("reconnected by itself at ") + f.reconnectedAt;
    return text + kSeparator + replyText(f);
}

LineFacts currentLineFacts(Controller& c) {
    const Line& s = c.line();
    LineFacts f;
    f.port = s.comPort();
    if (f.port > 0) f.device = comDevice(f.port);
    f.controllerId = c.controllerId();
    f.connected = s.linkUp() && c.controllerVariant() != 0;
    f.lost = s.lineLost();
    f.model = c.controllerVariant() == 2 ? 'D' : '@';
    f.silent = c.health().silent();
    if (const auto reply = c.health().lastReply()) {
        f.replyAge = std::chrono::duration<double>(lineClock().now() - *reply).count();
        f.replyClock = timeStrAgo(*f.replyAge);
    }
    std::lock_guard lock(factsMutex);
    f.lostAt = lostAt;
    f.reconnectedAt = reconnectedAt;
    return f;
}

void noteLineEvent(Controller& c, LineEvent event) {
    {
        std::lock_guard lock(factsMutex);
        switch (event) {
        case LineEvent::lost:
            lostAt = TimeStr();
            reconnectedAt.clear();
            break;
        case LineEvent::connected: // the operator's own connection, until told otherwise
            reconnectedAt.clear();
            break;
        case LineEvent::reconnected:
            reconnectedAt = TimeStr();
            break;
        case LineEvent::disconnected:
        case LineEvent::silent:
        case LineEvent::answering:
            break;
        }
    }
    refreshStatusLine(c);
}

void refreshStatusLine(Controller& c) {
    onGui([&c] {
        if (!panelLoaded(MainPanel::handle)) return; // not loaded yet, or gone at the end
        const std::string text = statusText(currentLineFacts(c));
        // Unchanged text is not set again: a refresh costs a few reads.
        if (text == lastShown) return;
        lastShown = text;
        SetCtrlVal(MainPanel::handle, MainPanel::statusLine, text);
    });
}

void resetStatusLine() {
    {
        std::lock_guard lock(factsMutex);
        lostAt.clear();
        reconnectedAt.clear();
    }
    onGui([] { lastShown.clear(); });
}

void startStatusLine(Controller& c) {
    refreshStatusLine(c);
    static bool started = false;
    if (started) return;
    started = true;
    startGuiRefresh(1.0, [&c] { refreshStatusLine(c); });
}
