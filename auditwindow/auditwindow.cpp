// SPDX-License-Identifier: GPL-3.0-or-later
#include "auditwindow/auditwindow.h"
#include "audit/outputfile.h"
#include "auditwindow/modelnames.h"

#include "auditwindow/auditdialogs.h"
#include "auditwindow/chartspage.h"
#include "auditwindow/figuretablemodel.h"
#include "auditwindow/filterbar.h"
#include "auditwindow/outcomespage.h"
#include "auditwindow/problemspage.h"
#include "auditwindow/summarypage.h"
#include "platform/helptopic.h"
#include "platform/platform.h"
#include "platform/programsettings.h"

#include <QAction>
#include <QBuffer>
#include <QChartView>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QPainter>
#include <QPdfWriter>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QProgressBar>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollArea>
#include <QSplitter>
#include <QStatusBar>
#include <QSvgGenerator>
#include <QTabWidget>
#include <QTableView>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <tuple>

namespace caldrin::auditwindow {

using namespace caldrin::audit;

namespace {

const QString& kTitle = kAuditWindowTitle;
constexpr int kRecentFiles = 8;
// What this window remembers is kept under this name.
const QString kSettingsName = QStringLiteral("auditwindow");

} // namespace

AuditWindow::AuditWindow(Platform& platform, AuditDialogs& dialogs, audit::AuditOptions options,
                         QWidget* parent)
    : QMainWindow(parent)
    , platform_(platform)
    , dialogs_(dialogs)
    , options_(std::move(options))
    , exporter_(platform, dialogs, *this) {
    setObjectName(QStringLiteral("AuditWindow"));
    setWindowTitle(kTitle);
    // Outcomes are recorded after the leading fields of the episode's record.
    options_.read.keepLeadingFields = true;
    setAcceptDrops(true);

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
    pages_->addTab(problemsPage_, QStringLiteral("&Problems and exclusions"));
    outcomesPage_ = new OutcomesPage(platform_);
    pages_->addTab(outcomesPage_, QStringLiteral("&Outcomes to complete"));
    // What was appended is read back: the list and the figures follow it.
    connect(outcomesPage_, &OutcomesPage::outcomesRecorded, this, [this] { openFiles(paths_); });
    layout->addWidget(pages_, 1);
    // The charts page coming into view draws its chart.
    connect(pages_, &QTabWidget::currentChanged, chartsPage_, &ChartsPage::drawVisible);
    setCentralWidget(central);

    statusText_ = new QLabel(QStringLiteral("Open audit data files to analyse them."));
    statusText_->setObjectName(QStringLiteral("statusText"));
    progressBar_ = new QProgressBar;
    progressBar_->setObjectName(QStringLiteral("progressBar"));
    progressBar_->setAccessibleName(QStringLiteral("Progress"));
    progressBar_->setRange(0, 1000);
    progressBar_->setTextVisible(false);
    cancelButton_ = new QPushButton(QStringLiteral("Cancel"));
    cancelButton_->setObjectName(QStringLiteral("cancelButton"));
    cancelButton_->setToolTip(QStringLiteral("Stop reading (Esc)"));
    statusBar()->addWidget(statusText_, 1);
    statusBar()->addPermanentWidget(progressBar_);
    statusBar()->addPermanentWidget(cancelButton_);
    progressBar_->hide();
    cancelButton_->hide();
    connect(cancelButton_, &QPushButton::clicked, this, &AuditWindow::cancelJob);

    buildMenus();

    progressTimer_.setInterval(50);
    connect(&progressTimer_, &QTimer::timeout, this, &AuditWindow::updateProgress);
    filterTimer_.setSingleShot(true);
    filterTimer_.setInterval(250);
    connect(&filterTimer_, &QTimer::timeout, this, &AuditWindow::runAnalysis);

    connect(&loader_, &AuditLoader::loaded, this, &AuditWindow::showLoad);
    connect(&loader_, &AuditLoader::failed, this, &AuditWindow::showFailure);

    if (!restoreGeometry(ProgramSettings::windowGeometry(kSettingsName)))
        resize(1100, 760);
    updateRecentMenu();
    for (QAction* action : needFigures_)
        action->setEnabled(false);
}

AuditWindow::~AuditWindow() = default;

void AuditWindow::buildMenus() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    QAction* open = file->addAction(QStringLiteral("&Open..."), this, &AuditWindow::chooseFiles);
    open->setObjectName(QStringLiteral("actionOpen"));
    open->setShortcut(QKeySequence::Open);
    QAction* add = file->addAction(QStringLiteral("&Add Files..."), this, &AuditWindow::addFiles);
    add->setObjectName(QStringLiteral("actionAddFiles"));
    add->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O));
    recentMenu_ = file->addMenu(QStringLiteral("Open &Recent"));
    recentMenu_->setObjectName(QStringLiteral("recentMenu"));
    file->addSeparator();

    QAction* pdf = file->addAction(QStringLiteral("&Export Report as PDF..."), this, [this] {
        if (load_)
            reportDone(exporter_.exportReport(*load_, dateRangeText(), numberFormat()));
    });
    pdf->setObjectName(QStringLiteral("actionExportPdf"));
    pdf->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    QAction* print = file->addAction(QStringLiteral("&Print Report..."), this, [this] {
        if (load_)
            exporter_.printReport(*load_, dateRangeText(), numberFormat());
    });
    print->setObjectName(QStringLiteral("actionPrint"));
    print->setShortcut(QKeySequence::Print);
    const auto exportChart = [this](bool svg) {
        if (const ModelResult* model = pickedResult())
            reportDone(exporter_.exportChart(*load_, *model, chartsPage_->currentKind(), svg,
                                             numberFormat(), dateRangeText(),
                                             chartsPage_->timeAxis()));
    };
    QAction* png = file->addAction(QStringLiteral("Export Chart as P&NG..."), this,
                                   [exportChart] { exportChart(false); });
    png->setObjectName(QStringLiteral("actionExportPng"));
    QAction* svg = file->addAction(QStringLiteral("Export Chart as S&VG..."), this,
                                   [exportChart] { exportChart(true); });
    svg->setObjectName(QStringLiteral("actionExportSvg"));
    QMenu* tables = file->addMenu(QStringLiteral("Export &Table as CSV"));
    const auto exportTable = [this](const FigureTableModel* table, const QString& name) {
        if (load_)
            reportDone(exporter_.exportTable(*load_, *table, name, dateRangeText()));
    };
    QAction* morbidity =
        tables->addAction(QStringLiteral("M&orbidity summary..."), this, [this, exportTable] {
            exportTable(summaryPage_->morbidityModel(), QStringLiteral("morbidity-summary"));
        });
    morbidity->setObjectName(QStringLiteral("actionCsvMorbidity"));
    QAction* mortality =
        tables->addAction(QStringLiteral("Mor&tality summary..."), this, [this, exportTable] {
            exportTable(summaryPage_->mortalityModel(), QStringLiteral("mortality-summary"));
        });
    mortality->setObjectName(QStringLiteral("actionCsvMortality"));
    QAction* bands = tables->addAction(QStringLiteral("Risk &bands..."), this, [this, exportTable] {
        exportTable(summaryPage_->bandModel(),
                    QStringLiteral("risk-bands-") + modelFileKey(filterBar_->pickedModel()));
    });
    bands->setObjectName(QStringLiteral("actionCsvBands"));
    QAction* problems =
        tables->addAction(QStringLiteral("&Problems and exclusions..."), this, [this, exportTable] {
            exportTable(problemsPage_->model(), QStringLiteral("problems"));
        });
    problems->setObjectName(QStringLiteral("actionCsvProblems"));
    needFigures_ = {pdf, print, png, svg, morbidity, mortality, bands, problems};
    file->addSeparator();
    QAction* quit = file->addAction(QStringLiteral("&Quit"), this, &QWidget::close);
    quit->setObjectName(QStringLiteral("actionQuit"));
    quit->setShortcut(QKeySequence::Quit);

    // Escape stops reading; the action exists only to carry the shortcut.
    cancelAction_ = new QAction(QStringLiteral("Cancel"), this);
    cancelAction_->setObjectName(QStringLiteral("actionCancel"));
    cancelAction_->setShortcut(QKeySequence(Qt::Key_Escape));
    cancelAction_->setEnabled(false);
    connect(cancelAction_, &QAction::triggered, this, &AuditWindow::cancelJob);
    addAction(cancelAction_);

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    QAction* helpAction =
        help->addAction(QStringLiteral("Caldrin Audit &Help"), this, &AuditWindow::showHelp);
    helpAction->setObjectName(QStringLiteral("actionHelp"));
    helpAction->setShortcut(QKeySequence::HelpContents);
}

// ------------------------------------------------------------------ files

// Files to open start in the folder of the files open (an export elsewhere
// since does not move it), else where files were chosen last.
QString AuditWindow::dataFolder() const {
    return paths_.isEmpty() ? auditFolder() : QFileInfo(paths_.constLast()).absolutePath();
}

void AuditWindow::chooseFiles() {
    const QStringList paths = dialogs_.chooseFilesToOpen(this, dataFolder());
    if (paths.isEmpty())
        return;
    rememberAuditFolderOf(paths.constFirst());
    openFiles(paths);
}

// The files chosen join those open (read after them: their records win).
void AuditWindow::addFiles() {
    const QStringList chosen = dialogs_.chooseFilesToOpen(this, dataFolder());
    if (chosen.isEmpty())
        return;
    rememberAuditFolderOf(chosen.constFirst());
    QStringList paths = paths_;
    for (const QString& path : chosen)
        if (!paths.contains(path))
            paths << path;
    openFiles(paths);
}

void AuditWindow::openRecent(const QString& path) {
    openFiles({path});
}

void AuditWindow::openFiles(const QStringList& paths) {
    if (paths.isEmpty())
        return;
    paths_ = paths;
    problemsPage_->clearLine();
    rememberRecent(paths);
    reading_ = true;
    AnalysisOptions options = analysisOptions();
    options.from.reset();
    options.to.reset();
    loader_.read(paths, options_.read, options);
    setBusy(true, QStringLiteral("Reading"));
}

void AuditWindow::rememberRecent(const QStringList& paths) {
    ProgramSettings::addRecentFiles(kSettingsName, paths, kRecentFiles);
    updateRecentMenu();
}

void AuditWindow::updateRecentMenu() {
    recentMenu_->clear();
    const QStringList recent = ProgramSettings::recentFiles(kSettingsName);
    for (qsizetype i = 0; i < recent.size(); ++i) {
        const QString path = recent[i];
        QString shown = path;
        shown.replace(QLatin1Char('&'), QStringLiteral("&&"));
        QAction* action = recentMenu_->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(shown));
        action->setData(path);
        connect(action, &QAction::triggered, this, [this, path] { openRecent(path); });
    }
    recentMenu_->setEnabled(!recent.isEmpty());
}

void AuditWindow::dragEnterEvent(QDragEnterEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (!urls.isEmpty() &&
        std::all_of(urls.begin(), urls.end(), [](const QUrl& url) { return url.isLocalFile(); }))
        event->acceptProposedAction();
}

void AuditWindow::dropEvent(QDropEvent* event) {
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile())
            paths << url.toLocalFile();
    if (paths.isEmpty())
        return;
    event->acceptProposedAction();
    openFiles(paths);
}

// ------------------------------------------------------------------ jobs

bool AuditWindow::isBusy() const {
    return loader_.busy();
}

void AuditWindow::setBusy(bool busy, const QString& what) {
    progressBar_->setVisible(busy);
    cancelButton_->setVisible(busy);
    cancelAction_->setEnabled(busy);
    if (busy) {
        progressBar_->setValue(0);
        statusText_->setText(what + QStringLiteral("..."));
        progressTimer_.start();
    } else {
        progressTimer_.stop();
    }
}

void AuditWindow::updateProgress() {
    if (!loader_.busy())
        return;
    const AuditLoader::ProgressState state = loader_.progress();
    if (state.total > 0)
        progressBar_->setValue(static_cast<int>(1000.0 * static_cast<double>(state.done) /
                                                static_cast<double>(state.total)));
    if (!state.stage.isEmpty())
        statusText_->setText(state.stage + QStringLiteral("..."));
}

void AuditWindow::cancelJob() {
    if (!loader_.busy())
        return;
    loader_.cancel();
    setBusy(false);
    if (reading_) {
        reading_ = false;
        statusText_->setText(
            load_ ? QStringLiteral(
                        "Reading cancelled; the figures shown are of the files read before.")
                  : QStringLiteral("Reading cancelled."));
    } else if (load_ && !load_->complete) {
        statusText_->setText(
            QStringLiteral("Control limits cancelled: the CUSUM charts have no limit."));
    } else {
        statusText_->setText(
            QStringLiteral("Analysis cancelled; the figures shown are of the date range before."));
    }
    Q_EMIT jobEnded();
}

void AuditWindow::showFailure(const QStringList& problems) {
    reading_ = false;
    setBusy(false);
    statusText_->setText(QStringLiteral("No file could be read."));
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
    loader_.analyse(load_->data, analysisOptions());
    setBusy(true, QStringLiteral("Analysing"));
}

void AuditWindow::showLoad(std::shared_ptr<const AuditLoad> load) {
    const bool newFiles = reading_;
    reading_ = false;
    load_ = std::move(load);
    if (newFiles) {
        filterBar_->showDatesOf(load_->dayRange);
        QStringList names;
        for (const QString& path : paths_)
            names << QFileInfo(path).fileName();
        setWindowTitle(names.join(QStringLiteral(", ")) + QStringLiteral(" - ") + kTitle);
    }
    if (load_->complete)
        setBusy(false);
    else
        statusText_->setText(QStringLiteral("Computing the CUSUM control limits..."));
    showFigures();
    for (QAction* action : needFigures_)
        action->setEnabled(true);
    if (load_->complete) {
        const AnalysisResult& r = load_->result;
        const std::size_t files = load_->data->files().size();
        statusText_->setText(
            QStringLiteral("%1 from %2; %3 in the date range (%4).")
                .arg(countOf(r.episodes, "episode", "episodes"), countOf(files, "file", "files"))
                .arg(r.inDateRange)
                .arg(dateRangeText()));
    }
    Q_EMIT figuresShown(load_->complete);
}

// ------------------------------------------------------------------ figures

NumberFormat AuditWindow::numberFormat() const {
    return NumberFormat(platform_.regionalSettings().decimalSeparator);
}

const ModelResult* AuditWindow::pickedResult() const {
    if (!load_)
        return nullptr;
    for (const ModelResult& model : load_->result.models)
        if (model.model == filterBar_->pickedModel())
            return &model;
    return nullptr;
}

QString AuditWindow::dateRangeText() const {
    if (!load_ || !load_->options.from)
        return QStringLiteral("all dates");
    return QStringLiteral("%1 to %2")
        .arg(qDateOf(dayNumber(*load_->options.from)).toString(QStringLiteral("d MMM yyyy")),
             qDateOf(dayNumber(*load_->options.to)).toString(QStringLiteral("d MMM yyyy")));
}

void AuditWindow::showFigures() {
    if (!load_)
        return;
    const NumberFormat format = numberFormat();
    summaryPage_->show(*load_, pickedResult(), format, dateRangeText());
    chartsPage_->show(pickedResult(), format, dateRangeText());
    problemsPage_->show(load_);
    if (load_->options.today)
        outcomesPage_->show(load_, *load_->options.today, load_->options.dueDays);
}

void AuditWindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::PaletteChange && load_)
        summaryPage_->repaintTints();
}

// ------------------------------------------------------------------ export

void AuditWindow::reportDone(const std::optional<QString>& done) {
    if (done)
        statusText_->setText(*done);
}

void AuditWindow::showHelp() {
    ShowHelpTopic(platform_, kAuditWindowHelpTopic);
}

void AuditWindow::closeEvent(QCloseEvent* event) {
    ProgramSettings::setWindowGeometry(kSettingsName, saveGeometry());
    loader_.cancel();
    QMainWindow::closeEvent(event);
}

} // namespace caldrin::auditwindow
