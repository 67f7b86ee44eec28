#include "connection/line_view.h"

#include "link/line_events.h"
#include "params/ids/main_panel.h"
#include "params/line_lost_notice.h"
#include "runtime/panel_handles.h"

#include <string>

namespace {

void onLineEvent(LineEvent event, int port) {
    switch (event) {
    case LineEvent::connected:
        SetCtrlVal(gPanels.main, MainPanel::connectionLed, 1);
        break;
    case LineEvent::disconnected:
        SetCtrlVal(gPanels.main, MainPanel::connectionLed, 0);
        break;
    case LineEvent::lost:
        SetCtrlVal(gPanels.main, MainPanel::connectionLed, 0);
        showLineLost(port);
        break;
    case LineEvent::reconnected:
    case LineEvent::silent:
    case LineEvent::answering:
        break;
    }
}

} // namespace

void showLineEventsOnPanels() {
    // Once for the program, however often the callbacks are registered.
    static const int handle = addLineObserver(onLineEvent);
    (void)handle;
}
