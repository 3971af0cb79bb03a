// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QStringList>

class QMenu;
class QMimeData;
class QWidget;

namespace caldrin::auditwindow {

class AuditDialogs;
class RecentFilesMenu;

// The audit files the window shows, and the ways to choose them: File > Open,
// Add Files, Open Recent, and files dropped on the window. Each choice ends
// in openRequested with the whole set to read.
class AuditFileSet : public QObject {
    Q_OBJECT
public:
    AuditFileSet(AuditDialogs& dialogs, QWidget& window);

    // Open..., Add Files... and Open Recent, at the end of `file`.
    void addMenuEntries(QMenu& file);

    const QStringList& paths() const { return paths_; }
    // `paths` are being read: they become the set shown and go to the top
    // of Open Recent.
    void setPaths(const QStringList& paths);
    // "a.csv, b.csv", for the window's title.
    QString fileNames() const;

    // The files dropped, none unless every item dropped is a local file.
    static QStringList droppedFiles(const QMimeData& dropped);

    // Takes files dropped anywhere on the window, on controls that take
    // dropped text too (date fields); with files open it asks whether to add
    // the files dropped or open them in their place. Call once the window's
    // controls exist.
    void acceptDropsOnWindow();

Q_SIGNALS:
    void openRequested(const QStringList& paths);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QString dataFolder() const;
    void dropped(const QStringList& files);
    void chooseFiles();
    void addFiles();

    AuditDialogs& dialogs_;
    QWidget& window_;
    QStringList paths_;
    RecentFilesMenu* recentMenu_ = nullptr;
};

} // namespace caldrin::auditwindow
