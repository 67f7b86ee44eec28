#include "connection/panel/status_line.h"

#include "base/number_text.h"
#include "link/controller.h"
#include "link/line.h"
#include "mainpanel/ids/main_panel.h"
#include "panelkit/gui_call.h"
#include "panelkit/panel_runtime.h"
#include "serial/com_map.h"

#include <QObject>

#include <chrono>

namespace {

constexpr const char* kSeparator = " \xC2\xB7 "; // a middle dot

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

StatusLine::StatusLine(Controller& c) : controller_(c) {}

StatusLine::~StatusLine() = default;

LineFacts StatusLine::facts() {
    const Controller& c = controller_;
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
    std::lock_guard lock(mutex_);
    f.lostAt = lostAt_;
    f.reconnectedAt = reconnectedAt_;
    return f;
}

void StatusLine::noteLineEvent(LineEvent event) {
    {
        std::lock_guard lock(mutex_);
        switch (event) {
        case LineEvent::lost:
            lostAt_ = TimeStr();
            reconnectedAt_.clear();
            break;
        case LineEvent::connected: // the operator's own connection, until told otherwise
            reconnectedAt_.clear();
            break;
        case LineEvent::reconnected:
            reconnectedAt_ = TimeStr();
            break;
        case LineEvent::disconnected:
        case LineEvent::silent:
        case LineEvent::answering:
            break;
        }
    }
    refresh();
}

void StatusLine::refresh() {
    onGui([this] {
        if (!panelLoaded(MainPanel::handle)) return; // not loaded yet, or gone at the end
        const std::string text = statusText(facts());
        // Unchanged text is not set again: a refresh costs a few reads.
        if (text == lastShown_) return;
        lastShown_ = text;
        SetCtrlVal(MainPanel::handle, MainPanel::statusLine, text);
    });
}

void StatusLine::start() {
    refresh();
    if (!refresher_) refresher_ = startGuiRefresh(1.0, [this] { refresh(); });
}
