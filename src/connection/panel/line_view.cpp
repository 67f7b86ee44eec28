#include "connection/panel/line_view.h"

#include "connection/panel/status_line.h"
#include "link/controller.h"
#include "link/line.h"
#include "link/line_events.h"
#include "mainpanel/ids/main_panel.h"
#include "mainpanel/line_lost_notice.h"
#include "mainpanel/main_panel_view.h"
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

void showLineEvent(Controller& c, StatusLine& statusLine, LineEvent event, int port) {
    // Transfers also run with no panel loaded (the tests of the line alone).
    const bool loaded = panelLoaded(MainPanel::handle);
    if (loaded) SetCtrlVal(MainPanel::handle, MainPanel::connectionLed, connectionLight(c));
    statusLine.noteLineEvent(event);
    if (event == LineEvent::lost) showLineLost(port);
    // The last reading came from a controller that is no longer connected.
    if (loaded && (event == LineEvent::disconnected || event == LineEvent::lost))
        MainPanelView::clearPv();
}

} // namespace

LineView::LineView(Controller& c, StatusLine& statusLine) : controller_(c) {
    observer_ = c.line().addLineObserver([&c, &statusLine](LineEvent e, int port) {
        showLineEvent(c, statusLine, e, port);
    });
    healthObserver_ = c.health().addObserver([&c, &statusLine](LineEvent e, int port) {
        showLineEvent(c, statusLine, e, port);
    });
}

LineView::~LineView() {
    controller_.line().removeLineObserver(observer_);
    controller_.health().removeObserver(healthObserver_);
}
