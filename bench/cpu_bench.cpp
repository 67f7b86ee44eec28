// CPU the whole program uses while it plots PV and SV once a second: the real
// panels and timers, the chart plotting, the simulated controller answering
// in the same process. User plus system time over the run (20 s, or
// Q7_CPU_SECONDS) is printed as a ratio to 2 % of one core.
#include "panel_harness.h"

#include "chart/panel/ids/chart_panel.h"
#include "mainpanel/ids/main_panel.h"

#include <QApplication>
#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <cstdlib>
#include <sys/resource.h>

namespace {

constexpr double kBudget = 0.02; // of one core

double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    auto s = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) * 1e-6; };
    return s(u.ru_utime) + s(u.ru_stime);
}

} // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const char* env = std::getenv("Q7_CPU_SECONDS");
    const double runSeconds = env && std::atof(env) > 0 ? std::atof(env) : 20.0;

    PanelHarness harness(true);
    if (!harness.ready()) return 1;
    postCommit(MainPanel::handle, MainPanel::chartButton);
    SetCtrlAttribute(ChartPanel::handle, ChartPanel::chartTimer, ATTR_INTERVAL, 1.0);
    SetCtrlVal(ChartPanel::handle, ChartPanel::plotButton, 1);
    postCommit(ChartPanel::handle, ChartPanel::plotButton);
    if (!waitIdle()) return 1;

    const int requestsBefore = harness.sim().requestCount();
    const double cpuBefore = cpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    QEventLoop loop;
    QTimer::singleShot(int(runSeconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double cpu = cpuSeconds() - cpuBefore;

    // Plotting reads SV and PV on every tick; far fewer requests means the
    // chart was not plotting and the figure would flatter the program.
    const int requests = harness.sim().requestCount() - requestsBefore;
    if (requests < int(runSeconds)) {
        std::fprintf(stderr, "only %d requests in %.0f s: the chart is not plotting\n", requests,
                     runSeconds);
        return 1;
    }
    std::printf("%.1f s plotting at 1 s, %d requests, %.3f s CPU\n", wall, requests, cpu);
    reportRatio("CPU plotting at 1 s (per s)", cpu / wall, kBudget);
    return 0;
}
