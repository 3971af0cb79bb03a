// SPDX-License-Identifier: GPL-3.0-or-later
#include "auditwindow/auditwindow.h"
#include "audit/auditreport.h"
#include "audit/outputfile.h"
#include "auditwindow/modelnames.h"

#include "auditwindow/auditdialogs.h"
#include "auditwindow/auditfileset.h"
#include "auditwindow/chartspage.h"
#include "auditwindow/figuretablemodel.h"
#include "auditwindow/filterbar.h"
#include "auditwindow/funnelpage.h"
#include "auditwindow/jobstatus.h"
#include "auditwindow/outcomespage.h"
#include "auditwindow/problemspage.h"
#include "auditwindow/settingsname.h"
#include "auditwindow/summarypage.h"
#include "auditwindow/updatefitdialog.h"
#include "auditwindow/updatespage.h"
#include "bedsideupdate/bedsideupdate.h"
#include "platform/helptopic.h"
#include "platform/platform.h"
#include "platform/programsettings.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QMenuBar>
#include <QMimeData>
#include <QStatusBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include <functional>
#include <tuple>

namespace caldrin::auditwindow {

using namespace caldrin::audit;

namespace {

const QString& kTitle = kAuditWindowTitle;

// "1 Jul 2023 to 30 Sep 2023" or "all dates": the range `load` was analysed for.
QString dateRangeTextOf(const AuditLoad& load) {
    if (!load.options.from || !load.options.to)
        return QStringLiteral("all dates");
    return QStringLiteral("%1 to %2")
        .arg(qDateOf(dayNumber(*load.options.from)).toString(QStringLiteral("d MMM yyyy")),
             qDateOf(dayNumber(*load.options.to)).toString(QStringLiteral("d MMM yyyy")));
}

} // namespace

AuditWindow::AuditWindow(Platform& platform, AuditDialogs& dialogs, audit::AuditOptions options,
                         QWidget* parent)
    : QMainWindow(parent)
    , platform_(platform)
    , dialogs_(dialogs)
    , options_(std::move(options))
    , exporter_(platform, dialogs, *this)
    , updates_(std::make_shared<const std::vector<AddedUpdate>>()) {
    setObjectName(QStringLiteral("AuditWindow"));
    setWindowTitle(kTitle);
    // Outcomes are recorded after the leading fields of the episode's record.
    options_.read.keepLeadingFields = true;
    fileSet_ = new AuditFileSet(dialogs_, *this);
    connect(fileSet_, &AuditFileSet::openRequested, this, &AuditWindow::openFiles);

    auto* central = new QWidget;
    auto* layout = new QVBoxLayout(central);
    filterBar_ = new FilterBar(options_.read);
    connect(filterBar_, &FilterBar::modelPicked, this, &AuditWindow::showFigures);
    connect(filterBar_, &FilterBar::rangeChanged, this, &AuditWindow::scheduleAnalysis);
    layout->addWidget(filterBar_);
    pages_ = new QTabWidget;
    pages_->setObjectName(QStringLiteral("pages"));
    summaryPage_ = new SummaryPage;
    chartsPage_ = new ChartsPage;
    problemsPage_ = new ProblemsPage;
    pages_->addTab(summaryPage_, QStringLiteral("&Summary"));
    pages_->addTab(chartsPage_, QStringLiteral("&Charts"));
    funnelPage_ = new FunnelPage;
    pages_->addTab(funnelPage_, QStringLiteral("Funnel p&lot"));
    pages_->addTab(problemsPage_, QStringLiteral("&Problems and exclusions"));
    outcomesPage_ = new OutcomesPage(platform_);
    pages_->addTab(outcomesPage_, QStringLiteral("&Outcomes to complete"));
    updatesPage_ = new UpdatesPage;
    pages_->addTab(updatesPage_, QStringLiteral("Updates o&n later data"));
    // What was appended is read back: the list and the figures follow it.
    connect(outcomesPage_, &OutcomesPage::outcomesRecorded, this, &AuditWindow::reloadFiles);
    layout->addWidget(pages_, 1);
    // The charts page coming into view draws its chart.
    connect(pages_, &QTabWidget::currentChanged, chartsPage_, &ChartsPage::drawVisible);
    setCentralWidget(central);

    jobStatus_ = new JobStatus(loader_, *statusBar(), *this);
    connect(jobStatus_, &JobStatus::cancelRequested, this, &AuditWindow::cancelJob);

    buildMenus();
    fileSet_->acceptDropsOnWindow();

    filterTimer_.setSingleShot(true);
    filterTimer_.setInterval(250);
    connect(&filterTimer_, &QTimer::timeout, this, &AuditWindow::runAnalysis);

    connect(&loader_, &AuditLoader::loaded, this, &AuditWindow::showLoad);
    connect(&loader_, &AuditLoader::failed, this, &AuditWindow::showFailure);

    if (!restoreGeometry(ProgramSettings::windowGeometry(kAuditSettingsName)))
        resize(1100, 760);
    for (QAction* action : needFigures_)
        action->setEnabled(false);
}

AuditWindow::~AuditWindow() = default;

void AuditWindow::buildMenus() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    fileSet_->addMenuEntries(*file);
    file->addSeparator();
    QAction* addUpdate =
        file->addAction(QStringLiteral("Add an &Update..."), this, &AuditWindow::addUpdates);
    addUpdate->setObjectName(QStringLiteral("actionAddUpdate"));
    removeUpdates_ = file->addAction(QStringLiteral("Remove the Up&dates"), this, [this] {
        setUpdates({});
        jobStatus_->setText(QStringLiteral("The updates were removed."));
    });
    removeUpdates_->setObjectName(QStringLiteral("actionRemoveUpdates"));
    removeUpdates_->setEnabled(false);
    file->addSeparator();

    // Every export and print reads one finished analysis, held for as long
    // as it runs: a later analysis arriving meanwhile cannot change it.
    QAction* pdf = file->addAction(QStringLiteral("&Export Report as PDF..."), this, [this] {
        whenSettled(QStringLiteral("the report is exported"), [this](const LoadPtr& load) {
            reportDone(exporter_.exportReport(*load, dateRangeTextOf(*load), numberFormat()));
        });
    });
    pdf->setObjectName(QStringLiteral("actionExportPdf"));
    pdf->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    QAction* print = file->addAction(QStringLiteral("&Print Report..."), this, [this] {
        whenSettled(QStringLiteral("the report is printed"), [this](const LoadPtr& load) {
            exporter_.printReport(*load, dateRangeTextOf(*load), numberFormat());
        });
    });
    print->setObjectName(QStringLiteral("actionPrint"));
    print->setShortcut(QKeySequence::Print);
    const auto exportChart = [this](bool svg) { // the chart in view when asked
        const bool funnel = pages_->currentWidget() == funnelPage_;
        const ChartKind kind = chartsPage_->currentKind();
        const TimeAxis timeAxis = chartsPage_->timeAxis();
        whenSettled(QStringLiteral("the chart is exported"), [=, this](const LoadPtr& load) {
            const ModelResult* model = pickedResultOf(*load);
            if (!model)
                return;
            const QString range = dateRangeTextOf(*load);
            reportDone(funnel ? exporter_.exportFunnel(*load, *model, svg, numberFormat(), range)
                              : exporter_.exportChart(*load, *model, kind, svg, numberFormat(),
                                                      range, timeAxis));
        });
    };
    QAction* png = file->addAction(QStringLiteral("Export Chart as P&NG..."), this,
                                   [exportChart] { exportChart(false); });
    png->setObjectName(QStringLiteral("actionExportPng"));
    QAction* svg = file->addAction(QStringLiteral("Export Chart as S&VG..."), this,
                                   [exportChart] { exportChart(true); });
    svg->setObjectName(QStringLiteral("actionExportSvg"));
    needFigures_ = {pdf, print, png, svg};
    QMenu* tables = file->addMenu(QStringLiteral("Export &Table as CSV"));
    const auto named = [](const char* key) { return [key] { return QString::fromLatin1(key); }; };
    const std::initializer_list<
        std::tuple<const char*, const char*, const FigureTableModel*, std::function<QString()>>>
        tableExports = {
            {"M&orbidity summary...", "Morbidity", summaryPage_->morbidityModel(),
             named("morbidity-summary")},
            {"Mor&tality summary...", "Mortality", summaryPage_->mortalityModel(),
             named("mortality-summary")},
            {"Risk &bands...", "Bands", summaryPage_->bandModel(),
             [this] {
                 return QStringLiteral("risk-bands-") + modelFileKey(filterBar_->pickedModel());
             }},
            {"&Problems and exclusions...", "Problems", problemsPage_->model(), named("problems")},
            {"Completeness by &month...", "CompletenessByMonth", outcomesPage_->monthlyModel(),
             named("completeness-by-month")},
            {"&Calibration...", "Calibration", summaryPage_->calibrationModel(),
             named("calibration")},
            {"AUROCs comp&ared...", "Comparison", summaryPage_->comparisonModel(),
             named("aurocs-compared")},
            {"&Units of the funnel plot...", "Units", funnelPage_->unitModel(), [this] {
                 return QStringLiteral("units-") + modelFileKey(filterBar_->pickedModel());
             }}};
    for (const auto& [label, name, table, fileKey] : tableExports) {
        QAction* action =
            tables->addAction(QString::fromLatin1(label), this, [this, table, fileKey] {
                whenSettled(QStringLiteral("the table is exported"),
                            [this, table, fileKey](const LoadPtr& load) {
                                // The rows as shown now, which are of `load`.
                                reportDone(exporter_.exportTable(*load, table->table(), fileKey(),
                                                                 dateRangeTextOf(*load)));
                            });
            });
        action->setObjectName(QStringLiteral("actionCsv") + QLatin1String(name));
        needFigures_ << action;
    }
    // The episodes to chase, in the command line's CSV form.
    QAction* chase = tables->addAction(QStringLiteral("Outcomes to c&hase..."), this, [this] {
        whenSettled(QStringLiteral("the table is exported"), [this](const LoadPtr& load) {
            reportDone(exporter_.exportCsv(*load, outcomesPage_->outstandingCsv(),
                                           QStringLiteral("outcomes-to-chase")));
        });
    });
    chase->setObjectName(QStringLiteral("actionCsvOutstanding"));
    needFigures_ << chase;
    // The updates checked, in the command line's CSV form: the same header,
    // one "update" row each.
    QAction* updates =
        tables->addAction(QStringLiteral("Up&dated models checked..."), this, [this] {
            whenSettled(QStringLiteral("the table is exported"), [this](const LoadPtr& load) {
                reportDone(exporter_.exportCsv(
                    *load, QByteArray::fromStdString(updateCsvTable(load->updates)),
                    QStringLiteral("updated-models-checked")));
            });
        });
    updates->setObjectName(QStringLiteral("actionCsvUpdates"));
    needFigures_ << updates;
    file->addSeparator();
    QAction* update =
        file->addAction(QStringLiteral("Update this &Model..."), this, &AuditWindow::updateModel);
    update->setObjectName(QStringLiteral("actionUpdateModel"));
    needFigures_ << update;
    connect(summaryPage_, &SummaryPage::updateRequested, this, &AuditWindow::updateModel);
    QAction* bedside = file->addAction(QStringLiteral("Use at the &Bedside..."), this,
                                       &AuditWindow::useUpdateAtBedside);
    bedside->setObjectName(QStringLiteral("actionUseAtBedside"));
    file->addSeparator();
    QAction* quit = file->addAction(QStringLiteral("&Quit"), this, &QWidget::close);
    quit->setObjectName(QStringLiteral("actionQuit"));
    quit->setShortcut(QKeySequence::Quit);

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    QAction* helpAction =
        help->addAction(QStringLiteral("Caldrin Audit &Help"), this, &AuditWindow::showHelp);
    helpAction->setObjectName(QStringLiteral("actionHelp"));
    helpAction->setShortcut(QKeySequence::HelpContents);
}

// ------------------------------------------------------------------ files

void AuditWindow::openFiles(const QStringList& paths) {
    if (paths.isEmpty())
        return;
    fileSet_->setPaths(paths);
    problemsPage_->clearLine();
    dropPendingAction();
    filterTimer_.stop();
    reading_ = true;
    keepRange_ = false;
    outcomesPage_->setReading(true);
    AnalysisOptions options = analysisOptions();
    options.from.reset();
    options.to.reset();
    loader_.read(paths, options_.read, options, updates_);
    jobStatus_->setBusy(true, QStringLiteral("Reading"));
}

void AuditWindow::reloadFiles() {
    const QStringList paths = fileSet_->paths();
    if (paths.isEmpty())
        return;
    filterTimer_.stop();
    filterBar_->commitTypedDates();
    filterTimer_.stop(); // the reading below analyses the range anyway
    reading_ = true;
    keepRange_ = true;
    outcomesPage_->setReading(true);
    loader_.read(paths, options_.read, analysisOptions(), updates_);
    jobStatus_->setBusy(true, QStringLiteral("Reading"));
}

void AuditWindow::addUpdates() {
    const QStringList paths = dialogs_.chooseUpdateFiles(this, auditFolder());
    if (paths.isEmpty())
        return;
    rememberAuditFolderOf(paths.constFirst());
    std::vector<AddedUpdate> updates = *updates_;
    QStringList refused;
    bool added = false;
    for (const QString& path : paths) {
        const std::string name = QFile::encodeName(path).toStdString();
        const modelupdate::ReadUpdate read = modelupdate::readUpdateFile(name);
        if (!read.update) {
            refused << QDir::toNativeSeparators(path) + QStringLiteral(": ") +
                           QString::fromUtf8(read.refusal);
            continue;
        }
        // A file added again replaces what was read of it before.
        std::erase_if(updates, [&](const AddedUpdate& u) { return u.path == name; });
        updates.push_back({name, *read.update});
        added = true;
    }
    if (!refused.isEmpty())
        platform_.showMessage(this, (refused.size() == 1
                                         ? QStringLiteral("This update file was not added:\n")
                                         : QStringLiteral("These update files were not added:\n")) +
                                        refused.join(QLatin1Char('\n')));
    if (added)
        setUpdates(std::move(updates));
}

void AuditWindow::setUpdates(std::vector<AddedUpdate> updates) {
    updates_ = std::make_shared<const std::vector<AddedUpdate>>(std::move(updates));
    removeUpdates_->setEnabled(!updates_->empty());
    // The figures shown are of the list before: analyse again, as for a
    // new date range (a reading under way is analysed again once it is in).
    if (load_ && !reading_) {
        filterTimer_.stop();
        runAnalysis();
    }
}

// ------------------------------------------------------------------ jobs

bool AuditWindow::isBusy() const {
    return loader_.busy();
}

void AuditWindow::cancelJob() {
    if (!loader_.busy())
        return;
    loader_.cancel();
    jobStatus_->setBusy(false);
    if (!pendingWhat_.isEmpty()) {
        jobStatus_->setText(QStringLiteral("Cancelled: nothing was exported or printed, as the "
                                           "analysis of the range shown did not finish."));
        dropPendingAction();
        outcomesPage_->setReading(false);
        reading_ = false;
        Q_EMIT jobEnded();
        return;
    }
    if (reading_) {
        reading_ = false;
        outcomesPage_->setReading(false);
        jobStatus_->setText(
            load_ ? QStringLiteral(
                        "Reading cancelled; the figures shown are of the files read before.")
                  : QStringLiteral("Reading cancelled."));
    } else if (load_ && !load_->complete) {
        jobStatus_->setText(
            QStringLiteral("Control limits cancelled: the CUSUM charts have no limit."));
    } else {
        jobStatus_->setText(
            QStringLiteral("Analysis cancelled; the figures shown are of the date range before."));
    }
    Q_EMIT jobEnded();
}

void AuditWindow::showFailure(const QStringList& problems) {
    reading_ = false;
    outcomesPage_->setReading(false);
    dropPendingAction();
    jobStatus_->setBusy(false);
    jobStatus_->setText(QStringLiteral("No file could be read."));
    platform_.showMessage(this, problems.join(QLatin1Char('\n')));
    Q_EMIT jobEnded();
}

void AuditWindow::scheduleAnalysis() {
    if (load_ && !reading_)
        filterTimer_.start();
}

AnalysisOptions AuditWindow::analysisOptions() const {
    AnalysisOptions options = options_.analysis;
    options.maxSeriesPoints = kChartSeriesPoints;
    if (!options.today) {
        const QDate today = platform_.today();
        options.today = Date{today.year(), today.month(), today.day()};
    }
    filterBar_->applyRange(options);
    return options;
}

void AuditWindow::runAnalysis() {
    if (!load_ || reading_)
        return;
    loader_.analyse(load_->data, analysisOptions(), updates_);
    jobStatus_->setBusy(true, QStringLiteral("Analysing"));
}

void AuditWindow::showLoad(std::shared_ptr<const AuditLoad> load) {
    const bool newFiles = reading_;
    reading_ = false;
    load_ = std::move(load);
    outcomesPage_->setReading(false);
    if (newFiles && !keepRange_)
        filterBar_->showDatesOf(load_->dayRange);
    if (newFiles) {
        setWindowTitle(fileSet_->fileNames() + QStringLiteral(" - ") + kTitle);
    }
    if (load_->complete)
        jobStatus_->setBusy(false);
    else
        jobStatus_->setText(QStringLiteral("Computing the CUSUM control limits..."));
    showFigures();
    for (QAction* action : needFigures_)
        action->setEnabled(true);
    if (load_->complete) {
        const AnalysisResult& r = load_->result;
        const std::size_t files = load_->data->files().size();
        jobStatus_->setText(
            QStringLiteral("%1 from %2; %3 in the date range (%4)%5.")
                .arg(countOf(r.episodes, "episode", "episodes"), countOf(files, "file", "files"))
                .arg(r.inDateRange)
                .arg(dateRangeText(), refusedFilesNote(*load_->data)));
    }
    Q_EMIT figuresShown(load_->complete);
    // Updates added or removed while the files were read: check the list
    // now in force.
    if (load_->addedUpdates != updates_) {
        runAnalysis();
        return;
    }
    if (pendingAction_ && showsWhatIsOnScreen())
        // After this delivery is handled, not inside it: the action may run
        // a dialog of its own.
        QMetaObject::invokeMethod(this, &AuditWindow::runPendingAction, Qt::QueuedConnection);
}

// ------------------------------------------------------------------ settling

bool AuditWindow::showsWhatIsOnScreen() const {
    if (!load_ || !load_->complete || reading_ || loader_.busy() || filterTimer_.isActive() ||
        load_->addedUpdates != updates_)
        return false;
    const AnalysisOptions onScreen = analysisOptions();
    return onScreen.from == load_->options.from && onScreen.to == load_->options.to;
}

void AuditWindow::whenSettled(const QString& what, SettledAction action) {
    if (!load_)
        return;
    filterBar_->commitTypedDates();
    if (showsWhatIsOnScreen()) {
        dropPendingAction();
        const std::shared_ptr<const AuditLoad> load = load_;
        action(load);
        return;
    }
    // The newest request wins; it waits for the analysis of the range shown.
    pendingAction_ = std::move(action);
    pendingWhat_ = what;
    if (!reading_ && (filterTimer_.isActive() || !loader_.busy())) {
        filterTimer_.stop();
        runAnalysis();
    }
    jobStatus_->setNote(
        QStringLiteral("When the analysis of the range shown is complete, %1 (Esc cancels).")
            .arg(what));
}

void AuditWindow::runPendingAction() {
    if (!pendingAction_ || !showsWhatIsOnScreen())
        return;
    SettledAction action = std::move(pendingAction_);
    dropPendingAction();
    const std::shared_ptr<const AuditLoad> load = load_;
    action(load);
}

void AuditWindow::dropPendingAction() {
    pendingAction_ = nullptr;
    pendingWhat_.clear();
    jobStatus_->setNote({});
}

// ------------------------------------------------------------------ figures

NumberFormat AuditWindow::numberFormat() const {
    return NumberFormat(platform_.regionalSettings().decimalSeparator);
}

const ModelResult* AuditWindow::pickedResult() const {
    return load_ ? pickedResultOf(*load_) : nullptr;
}

const ModelResult* AuditWindow::pickedResultOf(const AuditLoad& load) const {
    for (const ModelResult& model : load.result.models)
        if (model.model == filterBar_->pickedModel())
            return &model;
    return nullptr;
}

QString AuditWindow::dateRangeText() const {
    return load_ ? dateRangeTextOf(*load_) : QStringLiteral("all dates");
}

void AuditWindow::showFigures() {
    if (!load_)
        return;
    const NumberFormat format = numberFormat();
    summaryPage_->show(*load_, pickedResult(), format, dateRangeText());
    chartsPage_->show(pickedResult(), format, dateRangeText());
    // The page lets go of the figures before, even with no model to show.
    const ModelResult* picked = pickedResult();
    funnelPage_->show(picked ? &load_->result : nullptr,
                      picked ? static_cast<std::size_t>(picked - &load_->result.models[0]) : 0,
                      format);
    problemsPage_->show(load_);
    updatesPage_->show(*load_, format);
    if (load_->options.today)
        outcomesPage_->show(load_, *load_->options.today, load_->options.dueDays, format);
}

void AuditWindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::PaletteChange && load_)
        summaryPage_->repaintTints();
}

// ------------------------------------------------------------------ export

void AuditWindow::reportDone(const std::optional<QString>& done) {
    if (done)
        jobStatus_->setText(*done);
}

// ------------------------------------------------------------------ updates

void AuditWindow::updateModel() {
    const Model model = filterBar_->pickedModel(); // the model picked when asked
    whenSettled(QStringLiteral("the model's update is fitted"), [this, model](const LoadPtr& load) {
        UpdateFitDialog dialog(platform_, dialogs_, load, model, numberFormat(), this);
        connect(&dialog, &UpdateFitDialog::saved, this,
                [this](const QString& done) { reportDone(done); });
        platform_.runModal(dialog);
    });
}

void AuditWindow::useUpdateAtBedside() {
    OpenFileRequest request;
    request.title = QStringLiteral("Use an Update at the Bedside");
    request.filters = {QStringLiteral("Model updates (*.json)"), QStringLiteral("All files (*)")};
    request.purpose = FilePurpose::AuditData;
    const std::optional<OpenFileChoice> choice = platform_.chooseFileToOpen(this, request);
    if (choice && bedsideupdate::useAtBedside(platform_, this, kAuditWindowTitle,
                                              bedsideupdate::readOnce(choice->path)))
        reportDone(QStringLiteral("The update of %1 is set for the calculator; a calculator "
                                  "already open shows it once started again.")
                       .arg(choice->path));
}

void AuditWindow::showHelp() {
    ShowHelpTopic(platform_, kAuditWindowHelpTopic);
}

void AuditWindow::closeEvent(QCloseEvent* event) {
    ProgramSettings::setWindowGeometry(kAuditSettingsName, saveGeometry());
    filterTimer_.stop();
    dropPendingAction();
    loader_.cancel();
    QMainWindow::closeEvent(event);
}

} // namespace caldrin::auditwindow
