// The longest the GUI thread's event loop goes without turning while the
// control thread talks to the controller: a 5 ms timer on the GUI thread
// records the largest gap between its ticks during a bulk parameter read and
// during a read that waits out a 1.0 s time-out. Each is printed as a ratio
// to a 50 ms budget, beyond which the operator sees the window stick.
#include "panel_harness.h"

#include "link/controller.h"
#include "link/frames.h"
#include "link/line.h"
#include "link/transfer.h"
#include "mainpanel/bulk_read_view.h"
#include "serial/serial_service.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>

namespace {

constexpr double kBudget = 0.050;
constexpr int kTickMs = 5;
constexpr double kTimeout = 1.0;

// Largest gap between ticks since the last reset, in seconds.
class StallWatch {
  public:
    StallWatch() {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            worst_ = std::max(worst_, since_.nsecsElapsed() * 1e-9);
            since_.restart();
        });
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.start(kTickMs);
        since_.start();
    }
    void reset() {
        worst_ = 0;
        since_.restart();
    }
    // The gap still open counts too: a stall may run to the very end.
    double worst() const { return std::max(worst_, since_.nsecsElapsed() * 1e-9); }

  private:
    QTimer timer_;
    QElapsedTimer since_;
    double worst_ = 0;
};

} // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    PanelHarness harness;
    if (!harness.ready()) return 1;
    StallWatch watch;

    watch.reset();
    if (harness.timeOnControlThread([&harness] { ReadParmsFromMeter(harness.controller()); }) < 0)
        return 1;
    reportRatio("GUI stall during bulk read", watch.worst(), kBudget);

    harness.sim().dropReplies(1);
    watch.reset();
    const double waited = harness.timeOnControlThread([&harness] {
        SetComTime(harness.line().port(), kTimeout);
        Frame frame = templates::pvRead;
        completeRequest(frame, harness.controller().controllerId());
        rawExchange(harness.controller(), frame, 7);
    });
    if (waited < kTimeout * 0.9) {
        std::fprintf(stderr, "the read did not wait out its time-out (%.3f s)\n", waited);
        return 1;
    }
    reportRatio("GUI stall during 1 s time-out", watch.worst(), kBudget);
    return 0;
}
