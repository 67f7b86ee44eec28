// Time from starting the program to its main panel being shown: the same
// start-up steps as the program (Qt, the control thread, the callbacks, the
// simulated controller, every panel loaded, the main panel displayed and one
// turn of the event loop to put it on screen), each in a fresh process. The
// median of five starts is printed as a ratio to a 500 ms budget. The clock
// starts before the process is created, so process creation and dynamic
// loading count.
#include "app/callbacks.h"
#include "app/panel_objects.h"
#include "app/panel_set.h"
#include "link/line.h"
#include "mainpanel/ids/main_panel.h"
#include "panelkit/control_thread.h"
#include "panelkit/panel_runtime.h"
#include "serial/com_map.h"
#include "sim/sim_controller.h"

#include <QApplication>
#include <QWidget>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kStarts = 5;
constexpr double kBudget = 0.500;

long long nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool mainPanelVisible() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible()) return true;
    return false;
}

// One start; prints the seconds since spawnNs.
int child(char* program, long long spawnNs) {
    int qtArgc = 1;
    char* qtArgv[] = {program, nullptr};
    QApplication app(qtArgc, qtArgv);
    ControlThread control;
    startPanelService(control);
    PanelObjects objects(control);
    registerAllCallbacks(objects);
    sim::SimController simulator;
    if (!simulator.start()) return 1;
    setSimulatedDevice(simulator.devicePath());
    if (!loadAllPanels(objects)) return 1;
    DisplayPanel(MainPanel::handle);
    const long long deadline = nowNs() + 10'000'000'000LL;
    while (!mainPanelVisible()) {
        if (nowNs() > deadline) return 1;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    QCoreApplication::processEvents();
    std::printf("%.6f\n", double(nowNs() - spawnNs) * 1e-9);
    std::fflush(stdout);
    stopPanelService();
    simulator.stop();
    discardAllPanels();
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc == 3 && std::strcmp(argv[1], "--child") == 0)
        return child(argv[0], std::atoll(argv[2]));

    std::vector<double> t;
    for (int i = 0; i < kStarts; ++i) {
        const long long spawn = nowNs();
        const std::string cmd = "/proc/" + std::to_string(getpid()) + "/exe --child " +
                                std::to_string(spawn) + " 2>/dev/null";
        FILE* out = popen(cmd.c_str(), "r");
        double seconds = -1;
        if (!out || std::fscanf(out, "%lf", &seconds) != 1 || pclose(out) != 0 || seconds < 0) {
            std::fprintf(stderr, "a start did not reach the main panel\n");
            return 1;
        }
        t.push_back(seconds);
    }
    std::sort(t.begin(), t.end());
    std::printf("%-30s measured %7.2f ms  floor %7.2f ms  ratio %.3f\n",
                "start to main panel (median)", t[t.size() / 2] * 1e3, kBudget * 1e3,
                t[t.size() / 2] / kBudget);
    return 0;
}
