// SPDX-License-Identifier: GPL-3.0-or-later
#include "auditwindow/auditfileset.h"
#include "auditwindow/auditdialogs.h"
#include "auditwindow/auditexporter.h"
#include "auditwindow/recentfilesmenu.h"
#include "auditwindow/settingsname.h"

#include <QDropEvent>
#include <QFileInfo>
#include <QMenu>
#include <QMimeData>
#include <QUrl>

#include <algorithm>

namespace caldrin::auditwindow {

AuditFileSet::AuditFileSet(AuditDialogs& dialogs, QWidget& window)
    : QObject(&window)
    , dialogs_(dialogs)
    , window_(window) {}

void AuditFileSet::addMenuEntries(QMenu& file) {
    QAction* open = file.addAction(QStringLiteral("&Open..."), this, &AuditFileSet::chooseFiles);
    open->setObjectName(QStringLiteral("actionOpen"));
    open->setShortcut(QKeySequence::Open);
    QAction* add = file.addAction(QStringLiteral("&Add Files..."), this, &AuditFileSet::addFiles);
    add->setObjectName(QStringLiteral("actionAddFiles"));
    add->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O));
    recentMenu_ = new RecentFilesMenu(QStringLiteral("Open &Recent"), kAuditSettingsName, &file);
    recentMenu_->setObjectName(QStringLiteral("recentMenu"));
    connect(recentMenu_, &RecentFilesMenu::fileChosen, this,
            [this](const QString& path) { Q_EMIT openRequested({path}); });
    file.addMenu(recentMenu_);
}

void AuditFileSet::setPaths(const QStringList& paths) {
    paths_ = paths;
    if (recentMenu_)
        recentMenu_->remember(paths);
}

QString AuditFileSet::fileNames() const {
    QStringList names;
    for (const QString& path : paths_)
        names << QFileInfo(path).fileName();
    return names.join(QStringLiteral(", "));
}

QStringList AuditFileSet::droppedFiles(const QMimeData& dropped) {
    const QList<QUrl> urls = dropped.urls();
    if (urls.isEmpty() ||
        !std::all_of(urls.begin(), urls.end(), [](const QUrl& url) { return url.isLocalFile(); }))
        return {};
    QStringList paths;
    for (const QUrl& url : urls)
        paths << url.toLocalFile();
    return paths;
}

void AuditFileSet::acceptDropsOnWindow() {
    window_.setAcceptDrops(true);
    window_.installEventFilter(this);
    for (QWidget* child : window_.findChildren<QWidget*>())
        if (child->acceptDrops())
            child->installEventFilter(this);
}

bool AuditFileSet::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (droppedFiles(*drag->mimeData()).isEmpty())
            break;
        drag->acceptProposedAction();
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        const QStringList files = droppedFiles(*drop->mimeData());
        if (files.isEmpty())
            break;
        drop->acceptProposedAction();
        dropped(files);
        return true;
    }
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void AuditFileSet::dropped(const QStringList& files) {
    if (paths_.isEmpty()) {
        Q_EMIT openRequested(files);
        return;
    }
    switch (dialogs_.askAddOrReplace(&window_, files)) {
    case AuditDialogs::DropChoice::Add: {
        QStringList paths = paths_;
        for (const QString& path : files)
            if (!paths.contains(path))
                paths << path;
        Q_EMIT openRequested(paths);
        break;
    }
    case AuditDialogs::DropChoice::Replace:
        Q_EMIT openRequested(files);
        break;
    case AuditDialogs::DropChoice::Cancel:
        break;
    }
}

// Files to open start in the folder of the files open (an export elsewhere
// since does not move it), else where files were chosen last.
QString AuditFileSet::dataFolder() const {
    return paths_.isEmpty() ? auditFolder() : QFileInfo(paths_.constLast()).absolutePath();
}

void AuditFileSet::chooseFiles() {
    const QStringList paths = dialogs_.chooseFilesToOpen(&window_, dataFolder());
    if (paths.isEmpty())
        return;
    rememberAuditFolderOf(paths.constFirst());
    Q_EMIT openRequested(paths);
}

// The files chosen join those open (read after them: their records win).
void AuditFileSet::addFiles() {
    const QStringList chosen = dialogs_.chooseFilesToOpen(&window_, dataFolder());
    if (chosen.isEmpty())
        return;
    rememberAuditFolderOf(chosen.constFirst());
    QStringList paths = paths_;
    for (const QString& path : chosen)
        if (!paths.contains(path))
            paths << path;
    Q_EMIT openRequested(paths);
}

} // namespace caldrin::auditwindow
