#include "panelkit/run_ending.h"

#include "panelkit/control_events.h"
#include "panelkit/control_thread.h"

#include <QCoreApplication>
#include <QTimer>

#include <atomic>
#include <string>

namespace {

std::atomic<bool> gEnding{false};
int gQuitPanel = 0;
std::string gQuitControl;
std::function<void()> gForcedEnd;
std::chrono::milliseconds gGrace{500};
// Counts the runs of the user interface, so a grace timer left over from an
// earlier run is void.
int gRunNumber = 0;

void forceEndIfStuck() {
    const ControlThread* thread = servedControlThread();
    if (gEnding && !(thread && thread->finalDone()) && gForcedEnd) gForcedEnd();
}

} // namespace

bool runEnding() {
    return gEnding;
}

void setQuitControl(int panel, CtrlId control) {
    gQuitPanel = panel;
    gQuitControl = std::string(control);
}

void setForcedEnd(std::function<void()> forcedEnd, std::chrono::milliseconds grace) {
    gForcedEnd = std::move(forcedEnd);
    gGrace = grace;
}

void endRunAsOnSignal() {
    if (gEnding.exchange(true)) {
        // Asked twice: the operator will not wait for the control thread.
        forceEndIfStuck();
        return;
    }
    answerOpenPopupsAsEscape();
    postFinalControlEvent(gQuitPanel, gQuitControl, EVENT_COMMIT);
    // A transfer waiting on a silent controller may hold the control thread
    // for many seconds more; the operator asked to end now.
    QTimer::singleShot(gGrace, QCoreApplication::instance(), [run = gRunNumber] {
        if (run == gRunNumber) forceEndIfStuck();
    });
}

void resetRunEnding() {
    ++gRunNumber;
    gEnding = false;
    if (ControlThread* thread = servedControlThread()) thread->reopen();
}
