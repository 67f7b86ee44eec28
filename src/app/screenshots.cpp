#include "app/screenshots.h"

#include "app/desk_picture.h"
#include "app/panel_objects.h"
#include "chart/panel/ids/chart_panel.h"
#include "chart/panel/ids/chart_yscale_panel.h"
#include "chart/panel/ids/log_setup_panel.h"
#include "history/panel/alarm_events_list.h"
#include "mainpanel/ids/main_panel.h"
#include "mainpanel/ids/wait_panel.h"
#include "mainpanel/wait_popup.h"
#include "panelkit/callback_registry.h"
#include "panelkit/gui_call.h"
#include "panelkit/panel_table.h"
#include "pid/panel/ids/pid_panel.h"
#include "program/panel/ids/step_program_panel.h"
#include "runs/run_store.h"
#include "service/ids/debug_panel.h"

#include <QDir>
#include <QFileInfo>
#include <QPixmap>
#include <QTabWidget>

#include <memory>
#include <utility>
#include <variant>

namespace {

// What the panels' buttons run, in an order that opens each child panel
// after its parent.
constexpr const char* kOpeners[] = {
    "OpenChartPanel", "ChgYScale",        "LogFile",       "OpenScriptPanel", "OpenPidPanel",
    "OpenDebugPanel", "OpenTrafficPanel", "OpenLinePanel", "OpenConnection",  "OpenProgramsPanel"};

// A short program the Programs panel runs for its picture, its plan clock
// at kDemoTimeScale times life so that the picture, taken a few seconds
// after, shows the run well under way: plan, PV over it, segment, time to go.
constexpr const char* kDemoProgram = "[program]\nname = Demo anneal\nunit = C\nstart = 25\n"
                                     "holdback = 0\nend = off\n[segments]\n600 60 0:05\n"
                                     "full 80 0:10\n-300 50 0:10\n";
constexpr double kDemoTimeScale = 120;

// Two short firings of one program, made before the pictures when the store
// holds no finished run with an earlier one of its program, so that the Runs
// panel shows a finished run with an earlier one drawn over it. They run on
// the simulator as any run does, their plan clock at kFiringTimeScale.
constexpr const char* kFiringProgram = "[program]\nname = Demo test firing\nunit = C\n"
                                       "start = 25\nholdback = 0\nend = off\n[segments]\n"
                                       "1800 40 0:01\n-1800 30 0:01\n";
constexpr double kFiringTimeScale = 30;

// The newest completed firing run with an earlier completed one of its
// program: the runs the Runs panel shows, newest first. Control thread.
std::vector<long long> storedPair() {
    if (!QFileInfo::exists(QString::fromStdString(runStorePath()))) return {};
    auto opened = RunStore::open(runStorePath(), RunStore::Use::read);
    auto* store = std::get_if<std::unique_ptr<RunStore>>(&opened);
    if (!store) return {};
    std::vector<std::pair<long long, std::string>> completed;
    const auto ids = (*store)->runIds();
    if (ids.failed()) return {};
    for (long long id : *ids) {
        const auto run = (*store)->load(id);
        if (!run.found() || run->state.kind != RunKind::program ||
            run->state.outcome != RunOutcome::completed)
            continue;
        for (const auto& [later, program] : completed)
            if (program == run->state.programName) return {later, id};
        completed.emplace_back(id, run->state.programName);
    }
    return {};
}

// The Runs panel with the newer run open and the earlier drawn over it. GUI thread.
void showPair(PanelObjects& objects, long long newer, long long earlier) {
    RunsPanel& panel = showRunsPanel(objects);
    auto* once = new QObject(&panel);
    QObject::connect(&panel, &RunsPanel::runShown, once, [&panel, once, newer, earlier] {
        if (panel.shownRun() != newer) return;
        panel.overlayRun(earlier);
        once->deleteLater();
    });
    panel.openRun(newer);
}

// Runs the demo program on the Programs panel, after two short firings
// when the store has no pair of runs to show. GUI thread.
void startDemoRuns(PanelObjects& objects, std::vector<long long> pair) {
    FiringRunner& runner = objects.programRunner;
    const auto demo = [&objects, &runner](long long newer, long long earlier) {
        runner.setTimeScale(kDemoTimeScale);
        runner.start(kDemoProgram);
        showPair(objects, newer, earlier);
    };
    if (pair.size() == 2) return demo(pair[0], pair[1]);
    auto* firings = new QObject(&runner);
    auto ids = std::make_shared<std::vector<long long>>();
    QObject::connect(&runner, &FiringRunner::ended, firings,
                     [&runner, firings, ids, demo](const RunView& view) {
                         ids->insert(ids->begin(), view.runId);
                         if (ids->size() < 2) return runner.start(kFiringProgram);
                         firings->deleteLater();
                         demo((*ids)[0], (*ids)[1]);
                     });
    runner.setTimeScale(kFiringTimeScale);
    runner.start(kFiringProgram);
}

// Every panel, the main one first, then as they were opened. GUI thread.
std::vector<std::pair<QWidget*, const char*>> everyPanel(PanelObjects& objects) {
    return {
        {panelRoot(MainPanel::handle), "main"},
        {panelRoot(ChartPanel::handle), "chart"},
        {panelRoot(ChartYscalePanel::handle), "chart_yscale"},
        {panelRoot(LogSetupPanel::handle), "log_setup"},
        {panelRoot(StepProgramPanel::handle), "step_program"},
        {panelRoot(PidPanel::handle), "pid"},
        {panelRoot(DebugPanel::handle), "debug"},
        {&objects.trafficPanel, "traffic"},
        {&objects.linePanelWindow, "line"},
        {panelRoot(WaitPanel::handle), "wait"},
        {&objects.engCode, "eng_code"},
        {&objects.connectionDialog, "connection"},
    };
}

} // namespace

void openEveryPanel(PanelObjects& objects) {
    for (const char* name : kOpeners)
        if (PanelCallback open = findCallback(name)) open(MainPanel::handle, {}, EVENT_COMMIT);
    const std::vector<long long> pair = storedPair();
    onGui([&objects, pair] {
        showProgramsPanel(objects).showProgram(kDemoProgram, "");
        startDemoRuns(objects, pair);
    });
    showWaitPopup(objects.controller, "reading the parameters");
    onGui([&objects] { objects.engCode.open(); });
}

std::vector<std::string> saveVisiblePanels(PanelObjects& objects, const std::string& dir) {
    std::vector<std::string> written = onGui([&] {
        std::vector<std::string> files;
        const QDir folder(QString::fromStdString(dir));
        QDir().mkpath(folder.absolutePath());
        auto save = [&](const QPixmap& picture, const char* name) {
            const QString path = folder.absoluteFilePath(QString("%1.png").arg(name));
            if (!picture.isNull() && picture.save(path)) files.push_back(path.toStdString());
        };
        std::vector<DeskWindow> desk;
        for (const auto& [root, name] : everyPanel(objects)) {
            if (!root || !root->isVisible()) continue;
            const QPixmap picture = root->grab();
            save(picture, name);
            desk.push_back({root->windowTitle(), picture});
        }
        if (QWidget* programs = objects.programsPanel.get(); programs && programs->isVisible()) {
            const QPixmap picture = programs->grab();
            save(picture, "programs");
            desk.push_back({programs->windowTitle(), picture});
        }
        if (QWidget* runs = objects.runsPanel.get(); runs && runs->isVisible()) {
            const QPixmap picture = runs->grab();
            save(picture, "runs");
            desk.push_back({runs->windowTitle(), picture});
            // Its list of the alarm rules' events, on a tab of its own.
            auto* tabs = runs->findChild<QTabWidget*>("detailTabs");
            auto* alarms = runs->findChild<AlarmEventsList*>();
            if (tabs && alarms) {
                const int shown = tabs->currentIndex();
                tabs->setCurrentWidget(alarms);
                save(runs->grab(), "runs_alarms");
                tabs->setCurrentIndex(shown);
            }
        }
        save(QPixmap::fromImage(deskPicture(desk)), "screen");
        return files;
    });
    // The demo run ends here, recorded as stopped, rather than being left
    // for the next start to offer to resume.
    objects.programRunner.stop();
    RemovePopup(1);
    onGui([&objects] {
        objects.connectionDialog.close();
        objects.engCode.close();
    });
    removeWaitPopup(objects.controller);
    return written;
}
