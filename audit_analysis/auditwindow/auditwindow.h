// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "audit/auditanalysis.h"
#include "audit/options.h"
#include "auditwindow/auditexporter.h"
#include "auditwindow/auditloader.h"
#include "auditwindow/figures.h"

#include <QMainWindow>
#include <QTimer>

#include <array>
#include <functional>
#include <memory>

class QAction;
class QTabWidget;

namespace caldrin {
class Platform;
}

namespace caldrin::auditwindow {

class AuditDialogs;
class AuditFileSet;
class ChartsPage;
class FilterBar;
class FunnelPage;
class JobStatus;
class OutcomesPage;
class ProblemsPage;
class SummaryPage;
class UpdatesPage;

// The program's title: its window and its message boxes.
inline const QString kAuditWindowTitle = QStringLiteral("Caldrin Audit");

// Points per model kept for the VLAD and CUSUM charts: enough for one
// stretch of episodes per pixel column of a chart 2000 pixels wide (each
// stretch keeps its lowest and highest values and every signal).
inline constexpr std::size_t kChartSeriesPoints = 10000;

// The help topic of this window.
inline const QString kAuditWindowHelpTopic = QStringLiteral("auditwindow");

// "Caldrin Audit": opens audit data files, shows observed against expected
// outcomes per model in tables and charts for a chosen date range, and
// exports them (PDF report, print, PNG/SVG charts, CSV tables).
class AuditWindow : public QMainWindow {
    Q_OBJECT
public:
    // `options`: how files are read and the CUSUM is run, from the command
    // line; the date range comes from the window.
    AuditWindow(Platform& platform, AuditDialogs& dialogs, audit::AuditOptions options = {},
                QWidget* parent = nullptr);
    ~AuditWindow() override;

    // Reads `paths` (in this order: later records win) in place of the files shown.
    void openFiles(const QStringList& paths);
    bool isBusy() const;

    // What is shown now; null before the first files are read.
    const AuditLoad* shownLoad() const { return load_.get(); }
    // The model updates added (File > Add an Update...), checked by every
    // analysis until removed.
    const std::vector<AddedUpdate>& addedUpdates() const { return *updates_; }

Q_SIGNALS:
    // Figures are on screen; `complete` once the CUSUM limits are in too.
    void figuresShown(bool complete);
    // The current job ended without new figures (cancelled or nothing readable).
    void jobEnded();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void buildMenus();

    void showLoad(std::shared_ptr<const AuditLoad> load);
    void showFailure(const QStringList& problems);
    void cancelJob();
    void scheduleAnalysis();
    void runAnalysis();
    audit::AnalysisOptions analysisOptions() const;

    // Runs `action` on the finished analysis of exactly the files and the
    // date range on screen: at once when that is shown, otherwise once it is
    // (the typed dates are taken first). `what` says in the status line what
    // waits ("export the report"); Cancel drops the action with the job.
    using LoadPtr = std::shared_ptr<const AuditLoad>;
    using SettledAction = std::function<void(const LoadPtr&)>;
    void whenSettled(const QString& what, SettledAction action);
    bool showsWhatIsOnScreen() const;
    void runPendingAction();
    void dropPendingAction();
    // Reads the files again after outcomes were recorded, keeping the date
    // range, the model and the page.
    void reloadFiles();
    // Model updates: read once when added, kept across date ranges and
    // files read, checked by every analysis from then on.
    void addUpdates();
    void setUpdates(std::vector<AddedUpdate> updates);

    void showFigures();
    const audit::ModelResult* pickedResult() const;
    const audit::ModelResult* pickedResultOf(const AuditLoad& load) const;
    QString dateRangeText() const;
    NumberFormat numberFormat() const;
    // Shows what an export said it did.
    void reportDone(const std::optional<QString>& done);
    void showHelp();
    // "Update this Model": fits an update of the model picked on the
    // analysis of the range shown and shows it in its dialog.
    void updateModel();
    // "Use at the Bedside": a chosen update file for the calculator.
    void useUpdateAtBedside();

    Platform& platform_;
    AuditDialogs& dialogs_;
    audit::AuditOptions options_;
    AuditLoader loader_;
    AuditExporter exporter_;
    std::shared_ptr<const AuditLoad> load_;
    AddedUpdates updates_;
    QTimer filterTimer_;
    bool reading_ = false;
    bool keepRange_ = false; // the files are read again with the range kept
    SettledAction pendingAction_;
    QString pendingWhat_;

    FilterBar* filterBar_ = nullptr;
    QTabWidget* pages_ = nullptr;
    SummaryPage* summaryPage_ = nullptr;
    ChartsPage* chartsPage_ = nullptr;
    FunnelPage* funnelPage_ = nullptr;
    ProblemsPage* problemsPage_ = nullptr;
    OutcomesPage* outcomesPage_ = nullptr;
    UpdatesPage* updatesPage_ = nullptr;
    QAction* removeUpdates_ = nullptr;
    JobStatus* jobStatus_ = nullptr;
    AuditFileSet* fileSet_ = nullptr;
    QList<QAction*> needFigures_; // enabled once figures are shown
};

} // namespace caldrin::auditwindow
