// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/helplocation.h"

#include "helpprotocol/helpviewerclient.h"

#include <QDir>
#include <QFileInfo>

namespace caldrin {
namespace {

// Relative to the installed program's folder; set by the build from the
// install folders it was configured with.
constexpr char kInstalledDataFolder[] = CALDRIN_DATA_DIR_FROM_BIN;
constexpr char kInstalledViewerFolder[] = CALDRIN_VIEWER_DIR_FROM_BIN;

QString besideOrInstalled(const QString& programDirectory, const QString& name,
                          const char* installedFolder) {
    const QDir program(programDirectory);
    if (QFileInfo(program.filePath(name)).isFile())
        return program.absolutePath();
    return QDir::cleanPath(program.absoluteFilePath(QString::fromUtf8(installedFolder)));
}

} // namespace

QString helpFileDirectory(const QString& programDirectory, const QString& helpFile) {
    return besideOrInstalled(programDirectory, helpFile, kInstalledDataFolder);
}

QString helpViewerDirectory(const QString& programDirectory) {
    return besideOrInstalled(programDirectory, helpviewer::kViewerProgram, kInstalledViewerFolder);
}

QString helpViewerPath(const QString& programDirectory) {
    return QDir(helpViewerDirectory(programDirectory)).filePath(helpviewer::kViewerProgram);
}

} // namespace caldrin
