// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMenu>
#include <QString>
#include <QStringList>

namespace caldrin::auditwindow {

// File > Open Recent: the files opened last, newest first, kept in the
// program's settings under the window's name.
class RecentFilesMenu : public QMenu {
    Q_OBJECT
public:
    RecentFilesMenu(const QString& title, QString settingsName, QWidget* parent = nullptr);

    // `paths` were opened: they go to the top of the list.
    void remember(const QStringList& paths);

Q_SIGNALS:
    void fileChosen(const QString& path);

private:
    void refresh();

    QString settingsName_;
};

} // namespace caldrin::auditwindow
