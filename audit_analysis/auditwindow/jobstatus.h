// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

class QAction;
class QLabel;
class QProgressBar;
class QPushButton;
class QStatusBar;
class QWidget;

namespace caldrin::auditwindow {

class AuditLoader;

// The status bar's account of the reading or analysis job: a line of text,
// and while the job runs its progress and a Cancel button (also Esc).
class JobStatus : public QObject {
    Q_OBJECT
public:
    // Puts its widgets in `statusBar` and its Esc action on `window`.
    JobStatus(const AuditLoader& loader, QStatusBar& statusBar, QWidget& window);

    // Shows the progress and Cancel while busy; `what` ("Reading") starts the text.
    void setBusy(bool busy, const QString& what = {});
    void setText(const QString& text);
    // Said after the job's stage while it runs ("then the report is
    // exported"); empty for none.
    void setNote(const QString& note);

Q_SIGNALS:
    void cancelRequested();

private:
    void updateProgress();

    const AuditLoader& loader_;
    QTimer progressTimer_;
    QLabel* text_ = nullptr;
    QProgressBar* progressBar_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    QAction* cancelAction_ = nullptr;
    QString note_;
};

} // namespace caldrin::auditwindow
