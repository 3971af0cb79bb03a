// SPDX-License-Identifier: GPL-3.0-or-later
#include "auditwindow/recentfilesmenu.h"
#include "platform/programsettings.h"

#include <QAction>

namespace caldrin::auditwindow {

namespace {
constexpr int kRecentFiles = 8;
}

RecentFilesMenu::RecentFilesMenu(const QString& title, QString settingsName, QWidget* parent)
    : QMenu(title, parent)
    , settingsName_(std::move(settingsName)) {
    refresh();
}

void RecentFilesMenu::remember(const QStringList& paths) {
    ProgramSettings::addRecentFiles(settingsName_, paths, kRecentFiles);
    refresh();
}

void RecentFilesMenu::refresh() {
    clear();
    const QStringList recent = ProgramSettings::recentFiles(settingsName_);
    for (qsizetype i = 0; i < recent.size(); ++i) {
        const QString path = recent[i];
        // A path's "&" would otherwise mark a shortcut letter.
        QString shown = path;
        shown.replace(QLatin1Char('&'), QStringLiteral("&&"));
        QAction* action = addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(shown));
        action->setData(path);
        connect(action, &QAction::triggered, this, [this, path] { Q_EMIT fileChosen(path); });
    }
    setEnabled(!recent.isEmpty());
}

} // namespace caldrin::auditwindow
