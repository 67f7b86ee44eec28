#include "app/program.h"

#include "app/callbacks.h"
#include "app/launch.h"
#include "app/options.h"
#include "app/panel_objects.h"
#include "app/panel_set.h"
#include "app/port_selector.h"
#include "app/report_drawer.h"
#include "app/screenshots.h"
#include "app/window_system.h"
#include "app/work_dir.h"
#include "cli/runs_report.h"
#include "connection/panel/connection.h"
#include "mainpanel/ids/main_panel.h"
#include "panelkit/control_thread.h"
#include "panelkit/gui_call.h"
#include "panelkit/panel_runtime.h"
#include "panelkit/panel_test_api.h"
#include "panelkit/run_ending.h"
#include "runs/run_store.h"
#include "serial/com_map.h"
#include "serial/port_lock.h"
#include "sim/sim_controller.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

namespace {

// Start-up's connection runs on the control thread: it waits on the line and
// may ask the operator, and the window must stay live meanwhile.
// Gives the panels' polls a moment so the pictures show live values, and the
// Line panel a turn of each listed controller (a silent one takes its
// time-out), but no longer than a limit. GUI thread.
// The Programs panel's demo run, likewise, is let draw a stretch of PV
// over its plan, and the Runs panel its run with an earlier one over it
// (which may first be fired, twice, at a quick plan clock).
void afterPollsSettle(const PanelObjects& o, std::function<void()> then, int waitedMs = 0) {
    constexpr int kStepMs = 250, kAtLeastMs = 1500, kAtMostMs = 45000;
    constexpr std::size_t kDemoPolls = 8;
    QTimer::singleShot(kStepMs, [&o, then = std::move(then), waitedMs]() mutable {
        const int waited = waitedMs + kStepMs;
        const bool runsDrawn = o.runsPanel && !o.runsPanel->overlays().empty();
        const bool demoDrawn =
            runsDrawn && (!o.programsPanel || o.programsPanel->profile().pv.size() >= kDemoPolls);
        if (waited >= kAtMostMs || (waited >= kAtLeastMs && o.linePanel.roundDone && demoDrawn))
            then();
        else
            afterPollsSettle(o, std::move(then), waited);
    });
}

void beginStartUp(PanelObjects& o, const std::string& alarmsFile,
                  const std::string& screenshotDir) {
    postTask([&o, alarmsFile, screenshotDir] {
        // A refused file is told before anything is sent; the built-in rules apply.
        if (const std::string why = o.notices.loadRules(alarmsFile); !why.empty())
            MessagePopup("Alarm Rules Not Used",
                         why + "\nThe built-in rules apply: the alarm outputs and silence are "
                               "told as notices.");
        connectAtStartUp(o.connection);
        if (screenshotDir.empty()) return;
        openEveryPanel(o);
        onGui([&o, screenshotDir] {
            afterPollsSettle(o, [&o, screenshotDir] {
                postTask([&o, screenshotDir] {
                    for (const std::string& path : saveVisiblePanels(o, screenshotDir))
                        std::printf("%s\n", path.c_str());
                    std::fflush(stdout);
                    o.log.close();
                    QuitUserInterface(0);
                });
            });
        });
    });
}

} // namespace

int runProgram(int argc, char** argv) {
    const ProgramOptions options = parseOptions(argc, argv);
    // q7 hands `runs report` to this program, which links the painting.
    setRunReportDrawer(drawRunReport);
    if (const auto status = runWithoutPanels(options)) return *status;
    // Made first and gone last: the panels' objects hold Qt timers and
    // windows of their own.
    const auto app = openWindowSystem(argc, argv);
    ControlThread control;
    PanelObjects objects(control);
    // Opened before any change of folder: a relative name means where q7 was started.
    if (!options.headless.traceFile.empty()) {
        std::string why;
        if (!objects.tap.startTrace(options.headless.traceFile, &why)) {
            std::fprintf(stderr, "q7: cannot write the trace %s\n", why.c_str());
            return 1;
        }
    }
    // Named before any change of folder too.
    const std::string alarmsFile =
        options.headless.alarmsFile.empty()
            ? std::string()
            : std::filesystem::absolute(options.headless.alarmsFile).string();
    if (!options.workDir.empty()) {
        std::string why;
        if (!enterWorkDir(options.workDir, &why)) {
            std::fprintf(stderr, "q7: cannot use the folder %s\n", why.c_str());
            return 1;
        }
    }

    // A demo's firings go into a store of its own, never the folder's.
    std::optional<QTemporaryDir> demoStore;
    if (!options.screenshotDir.empty()) {
        demoStore.emplace();
        if (!demoStore->isValid()) {
            std::fprintf(stderr, "q7: cannot make a folder for the demo's run store: %s\n",
                         demoStore->errorString().toLocal8Bit().constData());
            return 1;
        }
        useRunStore(demoStore->filePath("runs.sqlite").toStdString());
    }

    startPanelService(control);
    registerAllCallbacks(objects);

    std::unique_ptr<sim::SimController> simulator;
    if (options.simulate) {
        sim::SimOptions simOptions;
        simOptions.variant = *options.simulate;
        simulator = std::make_unique<sim::SimController>(simOptions);
        if (!simulator->start()) {
            std::fprintf(stderr, "q7: cannot start the simulated controller\n");
            stopPanelService();
            return -1;
        }
        setSimulatedDevice(simulator->devicePath());
    }

    if (!loadAllPanels(objects)) {
        std::fprintf(stderr, "q7: cannot load the main panel (main.ui)\n");
        stopPanelService();
        return -1;
    }
    const DiscoveryRoots roots = discoveryRoots();
    refreshPortSelector(roots);
    std::unique_ptr<PortWatcher> portWatch = startPortWatch(objects.reconnect, roots);
    objects.reconnect.enable();
    objects.statusLine.start();
    setSignalQuitHandler(MainPanel::handle, MainPanel::quitButton);
    // A control thread still stuck in a transfer when a signal's grace runs
    // out must neither keep the operator waiting nor lose a logged line: the
    // log is closed under its own lock (no line is cut) and the process ends
    // at once; the system closes the port with it, and its lock file goes
    // here, so no later program finds it taken.
    setForcedEnd([&objects] {
        const auto logClosed = objects.log.closeForExit();
        releasePortLocks();
        std::fflush(nullptr);
        std::_Exit(0);
    });
    DisplayPanel(MainPanel::handle);
    beginStartUp(objects, alarmsFile, options.screenshotDir);

    RunUserInterface();

    portWatch.reset();
    stopPanelService();
    objects.reconnect.disable();
    objects.log.close();
    if (simulator) simulator->stop();
    DiscardPanel(MainPanel::handle);
    return 0;
}
