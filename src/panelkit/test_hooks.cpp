// Test hooks: operator events posted exactly as the widgets post them, and the
// popup responder.
#include "panelkit/control_events.h"
#include "panelkit/control_thread.h"
#include "panelkit/gui_call.h"
#include "panelkit/panel_table.h"
#include "panelkit/panel_test_api.h"
#include "panelkit/popup_hook.h"

#include <QCoreApplication>
#include <QTimer>

namespace {

PopupScript* gScript = nullptr;

bool controlIdle() {
    const ControlThread* thread = servedControlThread();
    return !thread || thread->idle();
}

std::uint64_t controlQueued() {
    const ControlThread* thread = servedControlThread();
    return thread ? thread->queuedCount() : 0;
}

} // namespace

PopupScript* activePopupScript() {
    return gScript;
}

void setPopupScript(PopupScript* script) {
    onGui([script] {
        forgetScriptedNotices();
        gScript = script;
    });
}

void postCommit(int panel, CtrlId control) {
    onGui([&] { postControlEvent(panel, control, EVENT_COMMIT); });
}

void postRightClick(int panel, CtrlId control) {
    onGui([&] { postControlEvent(panel, control, EVENT_RIGHT_CLICK); });
}

void postTick(int panel, CtrlId timer) {
    onGui([&] { postControlEvent(panel, timer, EVENT_TIMER_TICK); });
}

bool waitIdle(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    // The control thread wakes this loop when it calls into the GUI and when it
    // goes idle; the heartbeat only bounds the wait for the deadline check.
    QTimer heartbeat;
    heartbeat.start(10);
    for (;;) {
        // The control thread may be waiting on the GUI thread, so keep serving it.
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        if (controlIdle()) {
            // What the control thread handed back may ask it for more (a
            // panel's request answered, and the answer asking again): idle
            // only once serving the GUI thread queued nothing more.
            const std::uint64_t queued = controlQueued();
            QCoreApplication::processEvents(QEventLoop::AllEvents);
            if (controlIdle() && controlQueued() == queued) return true;
        }
        if (std::chrono::steady_clock::now() >= deadline) return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}
