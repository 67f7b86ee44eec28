#include "monitor/panel/pv_note.h"

#include "link/controller.h"
#include "link/line.h"
#include "mainpanel/ids/main_panel.h"

#include <chrono>
#include <string>

namespace {

std::string staleText(Controller& c) {
    const Line& s = c.line();
    if (s.lineLost()) return "connection lost";
    if (!s.linkUp()) return "not connected";
    const auto reply = c.health().lastReply();
    if (!reply) return "no reply";
    return "no reply since " +
           timeStrAgo(std::chrono::duration<double>(lineClock().now() - *reply).count());
}

std::string noteText(Controller& c, PvNote note) {
    switch (note) {
    case PvNote::live:
        return "";
    case PvNote::stale:
        return staleText(c);
    case PvNote::chart:
        return "read by the chart";
    case PvNote::off:
        return "Read PV is off";
    }
    return "";
}

} // namespace

void showPvNote(Controller& c, PvNote note) {
    SetCtrlVal(MainPanel::handle, MainPanel::pvNote, noteText(c, note));
}
