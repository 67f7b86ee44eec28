#include "connection/panel/line_view.h"

#include "connection/panel/status_line.h"
#include "link/controller.h"
#include "link/line.h"
#include "link/line_events.h"
#include "mainpanel/ids/main_panel.h"
#include "mainpanel/line_lost_notice.h"
#include "panelkit/panel_runtime.h"
#include "widgets/led.h"

namespace {

// "Connected" is a promise that the controller answers: amber once it has
// stopped answering, green again with its next reply, dark without a link.
int connectionLight(Controller& c) {
    const Line& s = c.line();
    if (!s.linkUp()) return Led::off;
    return c.health().silent() ? Led::warning : Led::on;
}

void onLineEvent(Controller& c, LineEvent event, int port) {
    // Transfers also run with no panel loaded (the tests of the line alone).
    if (panelLoaded(MainPanel::handle))
        SetCtrlVal(MainPanel::handle, MainPanel::connectionLed, connectionLight(c));
    noteLineEvent(c, event);
    if (event == LineEvent::lost) showLineLost(port);
}

} // namespace

void showLineEventsOnPanels(Controller& c) {
    // Once for the program, however often the callbacks are registered.
    static const int handle =
        c.line().addLineObserver([&c](LineEvent e, int port) { onLineEvent(c, e, port); });
    static const int health =
        c.health().addObserver([&c](LineEvent e, int port) { onLineEvent(c, e, port); });
    (void)handle;
    (void)health;
}
