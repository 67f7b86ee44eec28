// What the traffic monitor costs the operator. (1) The longest the GUI
// thread's event loop goes without turning during a bulk parameter read with
// the traffic panel open and its table full, as a ratio to a 50 ms budget.
// (2) CPU while polling at 1 s with the traffic panel open, less the same
// polling with no traffic monitor at all, as a ratio to 1 % of one core
// (each phase 20 s, or Q7_CPU_SECONDS).
#include "panel_harness.h"

#include "link/controller.h"
#include "link/line.h"
#include "mainpanel/bulk_read_view.h"
#include "traffic/panel/traffic_monitor.h"
#include "traffic/panel/traffic_panel.h"
#include "traffic/traffic_tap.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <sys/resource.h>

namespace {

constexpr double kStallBudget = 0.050;
constexpr double kCpuBudget = 0.01; // of one core
constexpr int kTickMs = 5;

double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    auto s = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) * 1e-6; };
    return s(u.ru_utime) + s(u.ru_stime);
}

// Largest gap between ticks of a 5 ms GUI timer while fn runs on the control thread.
double worstStall(PanelHarness& harness, const std::function<void()>& fn) {
    double worst = 0;
    QElapsedTimer since;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        worst = std::max(worst, since.nsecsElapsed() * 1e-9);
        since.restart();
    });
    since.start();
    timer.start(kTickMs);
    if (harness.timeOnControlThread(fn) < 0) return -1;
    // Rows still waiting are picked up after the read: that counts too.
    QEventLoop loop;
    QTimer::singleShot(300, &loop, &QEventLoop::quit);
    loop.exec();
    return std::max(worst, since.nsecsElapsed() * 1e-9);
}

// CPU per wall second over a run of the event loop.
double cpuShare(double seconds) {
    const double before = cpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    QEventLoop loop;
    QTimer::singleShot(int(seconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return (cpuSeconds() - before) / wall;
}

void fillTable(TrafficMonitor& traffic) {
    FrameRecord r;
    r.request = {0x01, 0x03, 0x10, 0x00, 0x00, 0x01, 0x80, 0xCA};
    r.reply = {0x01, 0x03, 0x02, 0x00, 0xED, 0x78, 0x09};
    r.verdict = Fault::none;
    for (std::size_t i = 0; i < kKeptRows / 2; ++i)
        traffic.tap().observe(r);
    traffic.pickUpNow();
}

} // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const char* env = std::getenv("Q7_CPU_SECONDS");
    const double runSeconds = env && std::atof(env) > 0 ? std::atof(env) : 20.0;
    {
        PanelHarness harness;
        if (!harness.ready()) return 1;
        harness.objects().trafficPanel.open();
        TrafficMonitor& traffic = harness.objects().traffic;
        fillTable(traffic);
        const double stall =
            worstStall(harness, [&harness] { ReadParmsFromMeter(harness.controller()); });
        if (stall < 0 || traffic.rowsShown() != int(kKeptRows)) return 1;
        reportRatio("GUI stall, bulk read, traffic", stall, kStallBudget);
    }
    PanelHarness harness(true);
    if (!harness.ready()) return 1;
    TrafficMonitor& traffic = harness.objects().traffic;
    traffic.tap().uninstall();
    traffic.tap().stopKeepingRows();
    const double without = cpuShare(runSeconds);
    traffic.tap().install(harness.controller());
    traffic.keepRows();
    harness.objects().trafficPanel.open();
    fillTable(traffic);
    const int shownBefore = traffic.rowsShown();
    const double with = cpuShare(runSeconds);
    traffic.pickUpNow();
    if (traffic.tap().statistics().counts().requests < int64_t(runSeconds)) {
        std::fprintf(stderr, "the traffic monitor saw too few requests to measure\n");
        return 1;
    }
    std::printf("polling at 1 s: %.3f %% of a core without the traffic monitor, %.3f %% with "
                "its panel open (%d rows shown)\n",
                without * 100, with * 100, shownBefore);
    reportRatio("CPU traffic panel (per s)", std::max(with - without, 0.0), kCpuBudget);
    return 0;
}
