// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/programsettings.h"

#include <QFileInfo>
#include <QSettings>

namespace caldrin {

namespace {

QString key(const QString& window, const char* what) {
    return window + QLatin1Char('/') + QLatin1String(what);
}

} // namespace

QByteArray ProgramSettings::windowGeometry(const QString& window) {
    return QSettings().value(key(window, "geometry")).toByteArray();
}

void ProgramSettings::setWindowGeometry(const QString& window, const QByteArray& geometry) {
    QSettings().setValue(key(window, "geometry"), geometry);
}

QStringList ProgramSettings::recentFiles(const QString& window) {
    return QSettings().value(key(window, "recentFiles")).toStringList();
}

void ProgramSettings::addRecentFiles(const QString& window, const QStringList& paths, int keep) {
    QSettings settings;
    QStringList recent = settings.value(key(window, "recentFiles")).toStringList();
    for (auto it = paths.crbegin(); it != paths.crend(); ++it) {
        const QString path = QFileInfo(*it).absoluteFilePath();
        recent.removeAll(path);
        recent.prepend(path);
    }
    while (recent.size() > keep)
        recent.removeLast();
    settings.setValue(key(window, "recentFiles"), recent);
}

QString ProgramSettings::lastFolder(const QString& window) {
    const QString folder = QSettings().value(key(window, "lastFolder")).toString();
    return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : QString();
}

void ProgramSettings::rememberFolderOf(const QString& window, const QString& filePath) {
    QSettings().setValue(key(window, "lastFolder"), QFileInfo(filePath).absolutePath());
}

QString ProgramSettings::choice(const QString& window, const QString& name) {
    return QSettings().value(key(window, "choices/") + name).toString();
}

void ProgramSettings::setChoice(const QString& window, const QString& name, const QString& value) {
    QSettings().setValue(key(window, "choices/") + name, value);
}

} // namespace caldrin
