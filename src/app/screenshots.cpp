#include "app/screenshots.h"

#include "app/desk_picture.h"
#include "app/panel_objects.h"
#include "chart/panel/ids/chart_panel.h"
#include "chart/panel/ids/chart_yscale_panel.h"
#include "chart/panel/ids/log_setup_panel.h"
#include "connection/panel/ids/connection_panel.h"
#include "lines/panel/ids/line_panel.h"
#include "mainpanel/ids/main_panel.h"
#include "mainpanel/ids/wait_panel.h"
#include "mainpanel/wait_popup.h"
#include "panelkit/callback_registry.h"
#include "panelkit/gui_call.h"
#include "panelkit/panel_table.h"
#include "pid/panel/ids/pid_panel.h"
#include "program/panel/ids/step_program_panel.h"
#include "service/ids/debug_panel.h"
#include "service/ids/eng_code_panel.h"
#include "traffic/panel/ids/traffic_panel.h"

#include <QDir>
#include <QPixmap>

#include <utility>

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

// Every panel, the main one first, then as they were opened.
std::vector<std::pair<int, const char*>> everyPanel() {
    return {
        {MainPanel::handle, "main"},
        {ChartPanel::handle, "chart"},
        {ChartYscalePanel::handle, "chart_yscale"},
        {LogSetupPanel::handle, "log_setup"},
        {StepProgramPanel::handle, "step_program"},
        {PidPanel::handle, "pid"},
        {DebugPanel::handle, "debug"},
        {TrafficPanel::handle, "traffic"},
        {LinePanel::handle, "line"},
        {WaitPanel::handle, "wait"},
        {EngCodePanel::handle, "eng_code"},
        {ConnectionPanel::handle, "connection"},
    };
}

} // namespace

void openEveryPanel(PanelObjects& objects) {
    for (const char* name : kOpeners)
        if (PanelCallback open = findCallback(name)) open(MainPanel::handle, {}, EVENT_COMMIT);
    onGui([&objects] {
        showProgramsPanel(objects).showProgram(kDemoProgram, "");
        objects.programRunner.setTimeScale(kDemoTimeScale);
    });
    objects.programRunner.start(kDemoProgram);
    showWaitPopup(objects.controller, "reading the parameters");
    InstallPopup(EngCodePanel::handle);
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
        for (const auto& [handle, name] : everyPanel()) {
            QWidget* root = panelRoot(handle);
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
        save(QPixmap::fromImage(deskPicture(desk)), "screen");
        return files;
    });
    // The demo run ends here, recorded as stopped, rather than being left
    // for the next start to offer to resume.
    objects.programRunner.stop();
    RemovePopup(1);
    removeWaitPopup(objects.controller);
    return written;
}
