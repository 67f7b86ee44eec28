#include "app/screenshots.h"

#include "lines/panel/line_callbacks.h"
#include "mainpanel/wait_popup.h"
#include "panelkit/callback_registry.h"
#include "panelkit/gui_call.h"
#include "panelkit/panel_handles.h"
#include "panelkit/panel_table.h"

#include <QDir>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

namespace {

// What the panels' buttons run, in an order that opens each child panel
// after its parent.
constexpr const char* kOpeners[] = {"OpenChartPanel",   "ChgYScale",    "LogFile",
                                    "OpenScriptPanel",  "OpenPidPanel", "OpenDebugPanel",
                                    "OpenTrafficPanel", "OpenLinePanel", "OpenConnection"};

} // namespace

void openEveryPanel(Controller& c) {
    for (const char* name : kOpeners)
        if (PanelCallback open = findCallback(name)) open(gPanels.main, {}, EVENT_COMMIT);
    showWaitPopup(c, "reading the parameters");
    InstallPopup(gPanels.engCode);
}

std::vector<std::string> saveVisiblePanels(Controller& c, const std::string& dir) {
    std::vector<std::string> written = onGui([&] {
        std::vector<std::string> files;
        const QDir folder(QString::fromStdString(dir));
        QDir().mkpath(folder.absolutePath());
        auto save = [&](const QPixmap& picture, const char* name) {
            const QString path = folder.absoluteFilePath(QString("%1.png").arg(name));
            if (!picture.isNull() && picture.save(path)) files.push_back(path.toStdString());
        };
        const std::pair<int, const char*> panels[] = {
            {gPanels.main, "main"},
            {gPanels.chart, "chart"},
            {gPanels.yscale, "chart_yscale"},
            {gPanels.logSetup, "log_setup"},
            {gPanels.stepProgram, "step_program"},
            {gPanels.pid, "pid"},
            {gPanels.debug, "debug"},
            {gPanels.traffic, "traffic"},
            {linePanel(), "line"},
            {gPanels.wait, "wait"},
            {gPanels.engCode, "eng_code"},
            {gPanels.connection, "connection"},
        };
        for (const auto& [handle, name] : panels) {
            QWidget* root = panelRoot(handle);
            if (root && root->isVisible()) save(root->grab(), name);
        }
        // Where the windows opened, as far as the window system lets a
        // program see its screen.
        if (QScreen* screen = QGuiApplication::primaryScreen()) save(screen->grabWindow(0), "screen");
        return files;
    });
    RemovePopup(1);
    removeWaitPopup(c);
    return written;
}
