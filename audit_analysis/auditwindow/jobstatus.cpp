// SPDX-License-Identifier: GPL-3.0-or-later
#include "auditwindow/jobstatus.h"
#include "auditwindow/auditloader.h"

#include <QAction>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>

namespace caldrin::auditwindow {

JobStatus::JobStatus(const AuditLoader& loader, QStatusBar& statusBar, QWidget& window)
    : QObject(&window)
    , loader_(loader) {
    text_ = new QLabel(QStringLiteral("Open audit data files to analyse them."));
    text_->setObjectName(QStringLiteral("statusText"));
    progressBar_ = new QProgressBar;
    progressBar_->setObjectName(QStringLiteral("progressBar"));
    progressBar_->setAccessibleName(QStringLiteral("Progress"));
    progressBar_->setRange(0, 1000);
    progressBar_->setTextVisible(false);
    cancelButton_ = new QPushButton(QStringLiteral("Cancel"));
    cancelButton_->setObjectName(QStringLiteral("cancelButton"));
    cancelButton_->setToolTip(QStringLiteral("Stop reading (Esc)"));
    statusBar.addWidget(text_, 1);
    statusBar.addPermanentWidget(progressBar_);
    statusBar.addPermanentWidget(cancelButton_);
    progressBar_->hide();
    cancelButton_->hide();
    connect(cancelButton_, &QPushButton::clicked, this, &JobStatus::cancelRequested);

    // Escape stops the job; the action exists only to carry the shortcut.
    cancelAction_ = new QAction(QStringLiteral("Cancel"), &window);
    cancelAction_->setObjectName(QStringLiteral("actionCancel"));
    cancelAction_->setShortcut(QKeySequence(Qt::Key_Escape));
    cancelAction_->setEnabled(false);
    connect(cancelAction_, &QAction::triggered, this, &JobStatus::cancelRequested);
    window.addAction(cancelAction_);

    progressTimer_.setInterval(50);
    connect(&progressTimer_, &QTimer::timeout, this, &JobStatus::updateProgress);
}

void JobStatus::setBusy(bool busy, const QString& what) {
    progressBar_->setVisible(busy);
    cancelButton_->setVisible(busy);
    cancelAction_->setEnabled(busy);
    if (busy) {
        progressBar_->setValue(0);
        text_->setText(what + QStringLiteral("...") +
                       (note_.isEmpty() ? QString() : QStringLiteral(" ") + note_));
        progressTimer_.start();
    } else {
        progressTimer_.stop();
    }
}

void JobStatus::setText(const QString& text) {
    text_->setText(text);
}

void JobStatus::setNote(const QString& note) {
    note_ = note;
    updateProgress();
}

void JobStatus::updateProgress() {
    if (!loader_.busy())
        return;
    const AuditLoader::ProgressState state = loader_.progress();
    if (state.total > 0)
        progressBar_->setValue(static_cast<int>(1000.0 * static_cast<double>(state.done) /
                                                static_cast<double>(state.total)));
    if (!state.stage.isEmpty())
        text_->setText(state.stage + QStringLiteral("...") +
                       (note_.isEmpty() ? QString() : QStringLiteral(" ") + note_));
}

} // namespace caldrin::auditwindow
