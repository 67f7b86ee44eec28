#include "app/screenshots.h"

#include "panelkit/gui_call.h"
#include "panelkit/panel_handles.h"
#include "panelkit/panel_table.h"

#include <QDir>
#include <QPixmap>

std::vector<std::string> saveVisiblePanels(const std::string& dir) {
    return onGui([&] {
        std::vector<std::string> written;
        QDir().mkpath(QString::fromStdString(dir));
        const std::pair<int, const char*> panels[] = {
            {gPanels.main, "main"}, {gPanels.chart, "chart"}, {gPanels.stepProgram, "step_program"},
            {gPanels.pid, "pid"},   {gPanels.debug, "debug"},
        };
        for (const auto& [handle, name] : panels) {
            QWidget* root = panelRoot(handle);
            if (!root || !root->isVisible()) continue;
            const QString path =
                QDir(QString::fromStdString(dir)).absoluteFilePath(QString("%1.png").arg(name));
            if (root->grab().save(path)) written.push_back(path.toStdString());
        }
        return written;
    });
}
