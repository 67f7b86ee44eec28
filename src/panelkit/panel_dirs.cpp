#include "panelkit/panel_dirs.h"

#include <QDir>
#include <QFileInfo>

namespace {

bool insideBuildTree([[maybe_unused]] const QString& binaryDir) {
#ifdef Q7_BUILD_DIR
    const QString build = QFileInfo(QStringLiteral(Q7_BUILD_DIR)).canonicalFilePath();
    const QString dir = QFileInfo(binaryDir).canonicalFilePath();
    return !build.isEmpty() && !dir.isEmpty() && (dir == build || dir.startsWith(build + '/'));
#else
    return false;
#endif
}

} // namespace

QStringList panelSearchDirs(const QString& binaryDir) {
    QStringList dirs{QDir(binaryDir).filePath("panels")};
#ifdef Q7_INSTALLED_PANEL_DIR
    dirs << QDir::cleanPath(QDir(binaryDir).filePath(QStringLiteral(Q7_INSTALLED_PANEL_DIR)));
#endif
    if (insideBuildTree(binaryDir)) {
#ifdef Q7_PANEL_DIR
        dirs << QStringLiteral(Q7_PANEL_DIR);
#endif
#ifdef Q7_SOURCE_PANEL_DIR
        dirs << QStringLiteral(Q7_SOURCE_PANEL_DIR);
#endif
    }
    return dirs;
}

QString findPanelFile(const QString& file, const QString& binaryDir) {
    for (const QString& dir : panelSearchDirs(binaryDir)) {
        const QString path = QDir(dir).filePath(file);
        if (QFileInfo::exists(path)) return path;
    }
    return {};
}
