#include "panelkit/desktop_folder.h"
#include "panelkit/gui_call.h"

#include <QDesktopServices>
#include <QDir>
#include <QUrl>

bool OpenFolderOnDesktop(const std::string& folder) {
    const QString path = QString::fromStdString(folder);
    if (!QDir(path).exists()) return false;
    return onGui([&] { return QDesktopServices::openUrl(QUrl::fromLocalFile(path)); });
}
