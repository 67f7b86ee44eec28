#pragma once
// Where the panel files are found, first match wins:
//   1. panels/ beside the binary: a run from the build folder;
//   2. share/q7/panels beside the binary's bin/: an installed program;
//   3. for programs inside the build tree only (tests, benchmarks): the
//      build folder's copy, then the sources.
// An installed program never reads files of the tree it was built in.
#include <QString>
#include <QStringList>

QStringList panelSearchDirs(const QString& binaryDir);
// The path of the panel file, or empty when no folder has it.
QString findPanelFile(const QString& file, const QString& binaryDir);
