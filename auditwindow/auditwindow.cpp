#include "auditwindow/auditwindow.h"
#include "audit/outputfile.h"
#include "auditwindow/modelnames.h"

#include "auditwindow/auditdialogs.h"
#include "auditwindow/auditreportpages.h"
#include "auditwindow/datefield.h"
#include "auditwindow/figuretablemodel.h"
#include "auditwindow/sourceline.h"
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

// Chart tabs with access keys of their own.
const std::array<QString, kChartKinds.size()> kTabLabels = {
    QStringLiteral("Ca&libration"), QStringLiteral("R&OC curve"), QStringLiteral("&VLAD"),
    QStringLiteral("C&USUM"), QStringLiteral("Predicted ris&ks")};

// "1 episode", "2 episodes".
QString countOf(std::uint64_t count, const char* one, const char* many) {
    return QStringLiteral("%1 %2").arg(count).arg(QLatin1String(count == 1 ? one : many));
}

QDate qDateOf(std::int32_t day) {
    const Date d = dateFromDayNumber(day);
    return QDate(d.year, d.month, d.day);
}

Date dateOf(const QDate& date) {
    return Date{date.year(), date.month(), date.day()};
}

QTableView* makeTableView(FigureTableModel* model, const QString& objectName,
                          const QString& accessibleName) {
    auto* view = new QTableView;
    view->setObjectName(objectName);
    view->setAccessibleName(accessibleName);
    view->setModel(model);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setWordWrap(false);
    view->setTabKeyNavigation(false);
    view->verticalHeader()->hide();
    view->horizontalHeader()->setStretchLastSection(true);
    return view;
}

// Every row whole: the page around the tables scrolls, never a table.
void fitRows(QTableView* view) {
    view->resizeRowsToContents();
    int height = view->horizontalHeader()->height() + 2 * view->frameWidth();
    for (int row = 0; row < view->model()->rowCount(); ++row)
        height += view->rowHeight(row);
    view->setMinimumHeight(height);
    view->setMaximumHeight(height);
}

// The figures' columns as wide as their contents. A last column of
// findings in words takes the rest of the page's width and wraps, so that a
// finding can be read in full without scrolling sideways; below about 30
// characters for it, the page scrolls instead.
void fitColumns(QTableView* view) {
    view->resizeColumnsToContents();
    const int last = view->model()->columnCount() - 1;
    int others = 2 * view->frameWidth();
    for (int column = 0; column < last; ++column)
        if (!view->isColumnHidden(column))
            others += view->columnWidth(column);
    const int findingWidth = view->isColumnHidden(last)
                                 ? 0
                                 : view->fontMetrics().horizontalAdvance(QStringLiteral("x")) * 30;
    view->setMinimumWidth(others + findingWidth);
    fitRows(view);
}

// The summary's findings, one line per model, bold where the figures differ
// from the model's expectation: the conclusion a meeting reads first.
QString findingLines(const FigureTable& table) {
    QStringList lines;
    for (const TableRow& row : table.rows) {
        if (row.cells.size() < 2)
            continue;
        const QString line =
            (row.cells.constFirst() + QStringLiteral(": ") + row.cells.constLast()).toHtmlEscaped();
        const bool marked =
            row.finding == Finding::MoreThanExpected || row.finding == Finding::FewerThanExpected;
        lines << (marked ? QStringLiteral("<b>%1</b>").arg(line) : line);
    }
    return lines.join(QStringLiteral("<br>"));
}

} // namespace

AuditWindow::AuditWindow(Platform& platform, AuditDialogs& dialogs, audit::AuditOptions options,
                         QWidget* parent)
    : QMainWindow(parent)
    , platform_(platform)
    , dialogs_(dialogs)
    , options_(std::move(options)) {
    setObjectName(QStringLiteral("AuditWindow"));
    setWindowTitle(kTitle);
    setAcceptDrops(true);

    morbidityModel_ = new FigureTableModel(this);
    mortalityModel_ = new FigureTableModel(this);
    bandModel_ = new FigureTableModel(this);
    problemModel_ = new FigureTableModel(this);

    auto* central = new QWidget;
    auto* layout = new QVBoxLayout(central);
    // Says why a typed date was not taken, until one is.
    dateRefusal_ = new QLabel;
    dateRefusal_->setObjectName(QStringLiteral("dateRefusal"));
    dateRefusal_->setWordWrap(true);
    dateRefusal_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    dateRefusal_->hide();
    QFont refusalFont = dateRefusal_->font();
    refusalFont.setBold(true);
    dateRefusal_->setFont(refusalFont);
    layout->addWidget(buildFilterBar());
    layout->addWidget(dateRefusal_);
    pages_ = new QTabWidget;
    pages_->setObjectName(QStringLiteral("pages"));
    pages_->addTab(buildSummaryPage(), QStringLiteral("&Summary"));
    pages_->addTab(buildChartsPage(), QStringLiteral("&Charts"));
    pages_->addTab(buildProblemsPage(), QStringLiteral("&Problems and exclusions"));
    layout->addWidget(pages_, 1);
    // The charts page coming into view draws its chart.
    connect(pages_, &QTabWidget::currentChanged, this, &AuditWindow::showChartFigures);
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
    recentMenu_ = file->addMenu(QStringLiteral("Open &Recent"));
    recentMenu_->setObjectName(QStringLiteral("recentMenu"));
    file->addSeparator();

    QAction* pdf = file->addAction(QStringLiteral("&Export Report as PDF..."), this,
                                   &AuditWindow::exportReport);
    pdf->setObjectName(QStringLiteral("actionExportPdf"));
    pdf->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    QAction* print =
        file->addAction(QStringLiteral("&Print Report..."), this, &AuditWindow::printReport);
    print->setObjectName(QStringLiteral("actionPrint"));
    print->setShortcut(QKeySequence::Print);
    QAction* png = file->addAction(QStringLiteral("Export Chart as P&NG..."), this,
                                   [this] { exportChart(false); });
    png->setObjectName(QStringLiteral("actionExportPng"));
    QAction* svg = file->addAction(QStringLiteral("Export Chart as S&VG..."), this,
                                   [this] { exportChart(true); });
    svg->setObjectName(QStringLiteral("actionExportSvg"));
    QMenu* tables = file->addMenu(QStringLiteral("Export &Table as CSV"));
    QAction* morbidity = tables->addAction(QStringLiteral("M&orbidity summary..."), this, [this] {
        exportTable(morbidityModel_, QStringLiteral("morbidity-summary"));
    });
    morbidity->setObjectName(QStringLiteral("actionCsvMorbidity"));
    QAction* mortality = tables->addAction(QStringLiteral("Mor&tality summary..."), this, [this] {
        exportTable(mortalityModel_, QStringLiteral("mortality-summary"));
    });
    mortality->setObjectName(QStringLiteral("actionCsvMortality"));
    QAction* bands = tables->addAction(QStringLiteral("Risk &bands..."), this, [this] {
        exportTable(bandModel_, QStringLiteral("risk-bands-") + modelFileKey(pickedModel()));
    });
    bands->setObjectName(QStringLiteral("actionCsvBands"));
    QAction* problems =
        tables->addAction(QStringLiteral("&Problems and exclusions..."), this,
                          [this] { exportTable(problemModel_, QStringLiteral("problems")); });
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

QWidget* AuditWindow::buildFilterBar() {
    auto* bar = new QWidget;
    // Two rows (the model; the dates), so that the window fits 800 pixels.
    auto* rows = new QVBoxLayout(bar);
    rows->setContentsMargins(0, 0, 0, 0);
    auto* modelRow = new QHBoxLayout;
    auto* layout = new QHBoxLayout;
    rows->addLayout(modelRow);
    rows->addLayout(layout);
    auto* modelLabel = new QLabel(QStringLiteral("&Model:"));
    modelPicker_ = new QComboBox;
    modelPicker_->setObjectName(QStringLiteral("modelPicker"));
    modelPicker_->setAccessibleName(QStringLiteral("Model"));
    for (const Model model : kAllModels)
        modelPicker_->addItem(modelName(model), static_cast<int>(model));
    modelPicker_->setCurrentIndex(static_cast<int>(Model::PPossumMortality));
    modelLabel->setBuddy(modelPicker_);
    connect(modelPicker_, &QComboBox::currentIndexChanged, this, [this] {
        showTables();
        showCharts();
    });

    rangeCheck_ = new QCheckBox(QStringLiteral("&Date range from"));
    rangeCheck_->setObjectName(QStringLiteral("rangeCheck"));
    fromDate_ = new DateField;
    fromDate_->setObjectName(QStringLiteral("fromDate"));
    fromDate_->lineEdit()->setAccessibleName(QStringLiteral("From date"));
    auto* toLabel = new QLabel(QStringLiteral("&to"));
    toDate_ = new DateField;
    toDate_->setObjectName(QStringLiteral("toDate"));
    toDate_->lineEdit()->setAccessibleName(QStringLiteral("To date"));
    toLabel->setBuddy(toDate_);
    for (DateField* field : {fromDate_, toDate_}) {
        field->setNumericOrder(options_.read.dateOrder, options_.read.currentYear);
        field->setEnabled(false);
        connect(field, &DateField::dateChanged, this, &AuditWindow::scheduleAnalysis);
        connect(field, &DateField::dateChanged, this, &AuditWindow::showPeriodOfDates);
        connect(field, &DateField::refused, this, [this](const QString& reason) {
            dateRefusal_->setText(reason);
            dateRefusal_->show();
        });
        connect(field, &DateField::accepted, dateRefusal_, &QLabel::hide);
    }
    // The range can never run backwards.
    connect(fromDate_, &DateField::dateChanged, this, [this](const QDate& date) {
        toDate_->setEarliest(date, QStringLiteral("the start of the range"));
    });
    connect(toDate_, &DateField::dateChanged, this, [this](const QDate& date) {
        fromDate_->setLatest(date, QStringLiteral("the end of the range"));
    });
    connect(rangeCheck_, &QCheckBox::toggled, this, [this](bool on) {
        fromDate_->setEnabled(on);
        toDate_->setEnabled(on);
        if (!on)
            dateRefusal_->hide();
        showPeriodOfDates();
        scheduleAnalysis();
    });

    auto* periodLabel = new QLabel(QStringLiteral("P&eriod:"));
    periodPicker_ = new QComboBox;
    periodPicker_->setObjectName(QStringLiteral("periodPicker"));
    periodPicker_->setAccessibleName(QStringLiteral("Period"));
    periodPicker_->setPlaceholderText(QStringLiteral("Dates as set"));
    periodPicker_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    periodPicker_->setMinimumContentsLength(14);
    periodPicker_->setEnabled(false);
    periodLabel->setBuddy(periodPicker_);
    connect(periodPicker_, &QComboBox::activated, this, &AuditWindow::pickPeriod);

    modelRow->addWidget(modelLabel);
    modelRow->addWidget(modelPicker_);
    modelRow->addStretch(1);
    layout->addWidget(rangeCheck_);
    layout->addWidget(fromDate_);
    layout->addWidget(toLabel);
    layout->addWidget(toDate_);
    layout->addSpacing(12);
    layout->addWidget(periodLabel);
    layout->addWidget(periodPicker_);
    layout->addStretch(1);
    return bar;
}

QWidget* AuditWindow::buildSummaryPage() {
    auto* scroll = new QScrollArea;
    summaryPage_ = scroll;
    scroll->setObjectName(QStringLiteral("summaryPage"));
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    auto* page = new QWidget;
    scroll->setWidget(page);
    auto* layout = new QVBoxLayout(page);
    summaryLabel_ = new QLabel;
    summaryLabel_->setObjectName(QStringLiteral("summaryLabel"));
    summaryLabel_->setWordWrap(true);
    summaryLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse |
                                           Qt::TextSelectableByKeyboard);
    layout->addWidget(summaryLabel_);
    morbidityTable_ = makeTableView(morbidityModel_, QStringLiteral("morbidityTable"),
                                    QStringLiteral("Morbidity summary"));
    mortalityTable_ = makeTableView(mortalityModel_, QStringLiteral("mortalityTable"),
                                    QStringLiteral("Mortality summary"));
    bandTable_ =
        makeTableView(bandModel_, QStringLiteral("bandTable"), QStringLiteral("Risk bands"));
    scroll->viewport()->installEventFilter(this); // fitSummaryText

    morbidityFindings_ = new QLabel;
    morbidityFindings_->setObjectName(QStringLiteral("morbidityFindings"));
    mortalityFindings_ = new QLabel;
    mortalityFindings_->setObjectName(QStringLiteral("mortalityFindings"));
    for (QLabel* findings : {morbidityFindings_, mortalityFindings_}) {
        findings->setWordWrap(true);
        findings->setTextFormat(Qt::RichText);
        findings->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    }
    for (auto [title, view, findings] :
         {std::tuple{QStringLiteral("Morbidity"), morbidityTable_, morbidityFindings_},
          std::tuple{QStringLiteral("Mortality"), mortalityTable_, mortalityFindings_},
          std::tuple{QStringLiteral("Risk bands of the chosen model"), bandTable_,
                     static_cast<QLabel*>(nullptr)}}) {
        view->setWordWrap(true);
        // The finding's column follows the page's width: its rows follow it.
        connect(view->horizontalHeader(), &QHeaderView::sectionResized, view, [view](int section) {
            if (section == view->model()->columnCount() - 1)
                fitRows(view);
        });
        auto* label = new QLabel(QStringLiteral("<b>%1</b>").arg(title));
        label->setBuddy(view);
        layout->addWidget(label);
        layout->addWidget(view);
        if (findings)
            layout->addWidget(findings);
    }
    layout->addStretch(1);
    return scroll;
}

QWidget* AuditWindow::buildChartsPage() {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    chartTabs_ = new QTabWidget;
    chartTabs_->setObjectName(QStringLiteral("chartTabs"));
    for (std::size_t k = 0; k < kChartKinds.size(); ++k) {
        auto* view = new QChartView;
        view->setObjectName(chartKey(kChartKinds[k]) + QStringLiteral("Chart"));
        view->setRenderHint(QPainter::Antialiasing);
        view->setFocusPolicy(Qt::StrongFocus);
        chartViews_[k] = view;
        chartTabs_->addTab(view, kTabLabels[k]);
    }
    connect(chartTabs_, &QTabWidget::currentChanged, this, &AuditWindow::showChartFigures);
    chartFigures_ = new QPlainTextEdit;
    chartFigures_->setObjectName(QStringLiteral("chartFigures"));
    chartFigures_->setAccessibleName(QStringLiteral("Chart figures"));
    chartFigures_->setReadOnly(true);
    chartFigures_->setTabChangesFocus(true);
    chartFigures_->setMaximumHeight(130);
    auto* figuresLabel = new QLabel(QStringLiteral("Chart fi&gures:"));
    figuresLabel->setBuddy(chartFigures_);
    layout->addWidget(chartTabs_, 1);
    layout->addWidget(figuresLabel);
    layout->addWidget(chartFigures_);
    return page;
}

QWidget* AuditWindow::buildProblemsPage() {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    problemTable_ = makeTableView(problemModel_, QStringLiteral("problemTable"),
                                  QStringLiteral("Reading problems and exclusions"));
    problemTable_->setWordWrap(true);
    connect(problemTable_, &QTableView::doubleClicked, this, &AuditWindow::showSourceLine);
    connect(problemTable_, &QTableView::activated, this, &AuditWindow::showSourceLine);
    lineView_ = new QPlainTextEdit;
    lineView_->setObjectName(QStringLiteral("lineView"));
    lineView_->setAccessibleName(QStringLiteral("Line in the file"));
    lineView_->setReadOnly(true);
    lineView_->setTabChangesFocus(true);
    lineView_->setLineWrapMode(QPlainTextEdit::NoWrap);
    lineView_->setMaximumHeight(90);
    lineView_->setPlaceholderText(
        QStringLiteral("Double-click a problem, or press Enter on it, to see its line here."));
    auto* label = new QLabel(QStringLiteral("&Line in the file:"));
    label->setBuddy(lineView_);
    layout->addWidget(problemTable_, 1);
    layout->addWidget(label);
    layout->addWidget(lineView_);
    return page;
}

// ------------------------------------------------------------------ files

void AuditWindow::chooseFiles() {
    const QStringList paths = dialogs_.chooseFilesToOpen(this, lastFolder());
    if (paths.isEmpty())
        return;
    rememberFolder(paths.constFirst());
    openFiles(paths);
}

void AuditWindow::openRecent(const QString& path) {
    openFiles({path});
}

void AuditWindow::openFiles(const QStringList& paths) {
    if (paths.isEmpty())
        return;
    paths_ = paths;
    lineView_->clear(); // its line belongs to the files shown before
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

QString AuditWindow::lastFolder() const {
    const QString folder = ProgramSettings::lastFolder(kSettingsName);
    return folder.isEmpty() ? QDir::homePath() : folder;
}

void AuditWindow::rememberFolder(const QString& path) {
    ProgramSettings::rememberFolderOf(kSettingsName, path);
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

// Sets both ends at once, without the checks a typed date gets (a preset's
// start may lie after the end shown before).
void AuditWindow::setRange(const QDate& from, const QDate& to) {
    {
        const QSignalBlocker blockFrom(fromDate_);
        const QSignalBlocker blockTo(toDate_);
        fromDate_->setDate(from);
        toDate_->setDate(to);
    }
    toDate_->setEarliest(from, QStringLiteral("the start of the range"));
    fromDate_->setLatest(to, QStringLiteral("the end of the range"));
}

// The periods a meeting asks for, newest first: the last 12 months of the
// files, then each calendar year and quarter the files' dates touch.
void AuditWindow::fillPeriods(const QDate& first, const QDate& last) {
    periodPicker_->clear();
    periodPicker_->setEnabled(first.isValid());
    if (!first.isValid())
        return;
    auto add = [this](const QString& name, const QDate& from, const QDate& to) {
        periodPicker_->addItem(name, QVariantList{from, to});
    };
    periodPicker_->addItem(QStringLiteral("All dates"));
    add(QStringLiteral("Last 12 months (to %1)").arg(DateField::shown(last)),
        last.addYears(-1).addDays(1), last);
    for (int year = last.year(); year >= first.year(); --year)
        add(QString::number(year), QDate(year, 1, 1), QDate(year, 12, 31));
    static const std::array<QString, 4> kQuarterMonths = {
        QStringLiteral("Jan\u2013Mar"), QStringLiteral("Apr\u2013Jun"),
        QStringLiteral("Jul\u2013Sep"), QStringLiteral("Oct\u2013Dec")};
    for (QDate start(last.year(), (last.month() - 1) / 3 * 3 + 1, 1); start.addMonths(3) > first;
         start = start.addMonths(-3)) {
        const int quarter = (start.month() - 1) / 3;
        add(QStringLiteral("Q%1 %2 (%3)")
                .arg(quarter + 1)
                .arg(start.year())
                .arg(kQuarterMonths[static_cast<std::size_t>(quarter)]),
            start, start.addMonths(3).addDays(-1));
    }
    showPeriodOfDates();
}

void AuditWindow::pickPeriod(int index) {
    const QVariantList range = periodPicker_->itemData(index).toList();
    dateRefusal_->hide();
    if (range.size() != 2) {
        rangeCheck_->setChecked(false);
        return;
    }
    setRange(range[0].toDate(), range[1].toDate());
    if (rangeCheck_->isChecked())
        scheduleAnalysis();
    else
        rangeCheck_->setChecked(true); // runs the analysis
    periodPicker_->setCurrentIndex(index);
}

// The picker names the period the dates make, or nothing ("Dates as set").
void AuditWindow::showPeriodOfDates() {
    int shown = -1;
    for (int i = 0; i < periodPicker_->count(); ++i) {
        const QVariantList range = periodPicker_->itemData(i).toList();
        if (range.size() != 2
                ? !rangeCheck_->isChecked()
                : rangeCheck_->isChecked() && range[0].toDate() == fromDate_->date() &&
                      range[1].toDate() == toDate_->date())
            shown = i;
    }
    periodPicker_->setCurrentIndex(shown);
}

void AuditWindow::scheduleAnalysis() {
    if (load_ && !reading_)
        filterTimer_.start();
}

AnalysisOptions AuditWindow::analysisOptions() const {
    AnalysisOptions options = options_.analysis;
    options.maxSeriesPoints = kChartSeriesPoints;
    options.from.reset();
    options.to.reset();
    if (rangeCheck_->isChecked()) {
        options.from = dateOf(fromDate_->date());
        options.to = dateOf(toDate_->date());
    }
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
        // A new set of files: the date range starts as all their dates.
        const QSignalBlocker blockCheck(rangeCheck_);
        const QSignalBlocker blockFrom(fromDate_);
        const QSignalBlocker blockTo(toDate_);
        rangeCheck_->setChecked(false);
        fromDate_->setEnabled(false);
        toDate_->setEnabled(false);
        dateRefusal_->hide();
        if (load_->dayRange) {
            const QDate first = qDateOf(load_->dayRange->first);
            const QDate last = qDateOf(load_->dayRange->second);
            setRange(first, last);
            fillPeriods(first, last);
        } else {
            fillPeriods({}, {});
        }
        QStringList names;
        for (const QString& path : paths_)
            names << QFileInfo(path).fileName();
        setWindowTitle(names.join(QStringLiteral(", ")) + QStringLiteral(" - ") + kTitle);
    }
    if (load_->complete)
        setBusy(false);
    else
        statusText_->setText(QStringLiteral("Computing the CUSUM control limits..."));
    showTables();
    showCharts();
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

Model AuditWindow::pickedModel() const {
    return static_cast<Model>(modelPicker_->currentData().toInt());
}

const ModelResult* AuditWindow::pickedResult() const {
    if (!load_)
        return nullptr;
    for (const ModelResult& model : load_->result.models)
        if (model.model == pickedModel())
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

void AuditWindow::showTables() {
    if (!load_)
        return;
    const NumberFormat format = numberFormat();
    const AnalysisResult& r = load_->result;
    morbidityModel_->setTable(summaryTable(r, Outcome::Morbidity, format));
    mortalityModel_->setTable(summaryTable(r, Outcome::Mortality, format));
    if (const ModelResult* model = pickedResult())
        bandModel_->setTable(bandTable(*model, format));
    problemModel_->setTable(problemTable(*load_->data, r));
    // The summaries' findings are said in full below each table instead of
    // in a column too narrow for them.
    for (auto [view, findings] : {std::pair{morbidityTable_, morbidityFindings_},
                                  std::pair{mortalityTable_, mortalityFindings_}}) {
        const auto* model = static_cast<const FigureTableModel*>(view->model());
        view->setColumnHidden(model->columnCount() - 1, true);
        findings->setText(findingLines(model->table()));
        findings->setAccessibleName(model->table().title + QStringLiteral(" findings"));
    }
    fitSummaryText();
    for (QTableView* view : {morbidityTable_, mortalityTable_, bandTable_}) {
        fitColumns(view);
        const auto* model = static_cast<const FigureTableModel*>(view->model());
        view->setAccessibleDescription(model->table().asText());
    }
    problemTable_->resizeColumnsToContents();
    summaryLabel_->setText(
        QStringLiteral("%1 read (%2 replaced by a later record of the same episode), "
                       "%3; %4 analysed, dates: %5. %6.")
            .arg(countOf(load_->data->recordsRead(), "record", "records"))
            .arg(load_->data->mergedRecords())
            .arg(countOf(r.episodes, "episode", "episodes"))
            .arg(r.inDateRange)
            .arg(dateRangeText())
            .arg(countOf(load_->data->problemCount(), "reading problem", "reading problems")));
    fitSummaryText();
}

QChart::ChartTheme AuditWindow::chartTheme() const {
    return palette().color(QPalette::Window).lightness() < 128 ? QChart::ChartThemeDark
                                                               : QChart::ChartThemeLight;
}

// Charts are drawn when they come into view: building all five at every
// delivery cost the event loop tens of milliseconds. Their figures in words
// are set at once.
void AuditWindow::showCharts() {
    const ModelResult* model = pickedResult();
    if (!model)
        return;
    const NumberFormat format = numberFormat();
    for (std::size_t k = 0; k < kChartKinds.size(); ++k) {
        QChartView* view = chartViews_[k];
        view->setAccessibleName(chartTitle(kChartKinds[k]) + QStringLiteral(" chart, ") +
                                modelName(model->model));
        view->setAccessibleDescription(chartFigures(*model, kChartKinds[k], format));
        chartStale_[k] = true;
    }
    showChartFigures();
}

void AuditWindow::showChartFigures() {
    const int tab = chartTabs_->currentIndex();
    if (tab < 0)
        return;
    const auto k = static_cast<std::size_t>(tab);
    chartFigures_->setPlainText(chartViews_[k]->accessibleDescription());
    const ModelResult* model = pickedResult();
    if (!model || !chartStale_[k] || !chartViews_[k]->isVisible())
        return;
    // The view owns the chart it shows and gives the one it showed back.
    const std::unique_ptr<QChart> old(chartViews_[k]->chart());
    chartViews_[k]->setChart(
        makeChart(*model, kChartKinds[k], chartTheme(), numberFormat()).release());
    chartStale_[k] = false;
}

void AuditWindow::showSourceLine(const QModelIndex& index) {
    if (!index.isValid() || !load_)
        return;
    const TableRow& row = problemModel_->table().rows[static_cast<std::size_t>(index.row())];
    if (!row.file || row.line == 0) {
        lineView_->setPlainText(row.cells.value(2));
        return;
    }
    const QString path = QString::fromUtf8(load_->data->files()[*row.file].path);
    const std::optional<QString> text = readSourceLine(path, row.line);
    lineView_->setPlainText(
        QStringLiteral("%1, line %2:\n%3")
            .arg(path)
            .arg(row.line)
            .arg(text ? *text : QStringLiteral("(the line can no longer be read)")));
}

bool AuditWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Resize && watched == summaryPage_->viewport())
        fitSummaryText();
    return QMainWindow::eventFilter(watched, event);
}

// The summary's words wrap at the visible width even where a table makes the
// page scroll sideways, and their height is reserved in full: the scroll
// area's layout does not ask wrapped labels their height for a width.
void AuditWindow::fitSummaryText() {
    const QMargins margins = summaryPage_->widget()->layout()->contentsMargins();
    const int width =
        std::max(100, summaryPage_->viewport()->width() - margins.left() - margins.right());
    for (QLabel* label : {summaryLabel_, morbidityFindings_, mortalityFindings_}) {
        label->setMaximumWidth(width);
        label->setMinimumHeight(std::max(0, label->heightForWidth(width)));
    }
}

void AuditWindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::PaletteChange && load_) {
        showCharts();
        // The tints of marked rows are mixed from the palette.
        for (QTableView* view : {morbidityTable_, mortalityTable_, bandTable_})
            view->viewport()->update();
    }
}

// ------------------------------------------------------------------ export

bool AuditWindow::refuseInputFile(const QString& path) {
    if (!load_)
        return false;
    std::vector<std::string> inputs;
    for (const audit::FileSummary& file : load_->data->files())
        inputs.push_back(file.path);
    if (!audit::namesAnInput(QFile::encodeName(path).toStdString(), inputs))
        return false;
    platform_.showError(this, QStringLiteral("%1 is one of the audit data files open; it was not "
                                             "replaced. Choose another name.")
                                  .arg(path));
    return true;
}

bool AuditWindow::writeFile(const QString& path, const QByteArray& bytes) {
    if (refuseInputFile(path))
        return false;
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
        return true;
    platform_.showError(
        this, QStringLiteral("%1 could not be written: %2.").arg(path, file.errorString()));
    return false;
}

void AuditWindow::exportReport() {
    if (!load_)
        return;
    const auto path =
        dialogs_.chooseFileToSave(this, QStringLiteral("Export Report as PDF"),
                                  QDir(lastFolder()).filePath(QStringLiteral("audit-report.pdf")),
                                  QStringLiteral("PDF files (*.pdf)"), QStringLiteral("pdf"));
    if (!path)
        return;
    rememberFolder(*path);
    if (refuseInputFile(*path))
        return;
    QSaveFile file(*path);
    bool written = false;
    if (file.open(QIODevice::WriteOnly)) {
        {
            QPdfWriter writer(&file);
            writer.setTitle(QStringLiteral("Audit report"));
            writer.setCreator(kTitle);
            writer.setResolution(300);
            written = paintAuditReport(writer, {*load_->data, load_->result, dateRangeText(),
                                                platform_.today(), numberFormat()}) > 0;
        }
        written = written && file.commit();
    }
    if (!written)
        platform_.showError(
            this, QStringLiteral("%1 could not be written: %2.").arg(*path, file.errorString()));
    else
        statusText_->setText(QStringLiteral("Report saved as %1.").arg(*path));
}

void AuditWindow::printReport() {
    if (!load_)
        return;
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(QStringLiteral("Audit report"));
    if (!platform_.choosePrinter(this, printer))
        return;
    if (paintAuditReport(printer, {*load_->data, load_->result, dateRangeText(), platform_.today(),
                                   numberFormat()}) == 0)
        platform_.showError(this, QStringLiteral("The report could not be printed."));
}

void AuditWindow::exportChart(bool svg) {
    const ModelResult* model = pickedResult();
    if (!model)
        return;
    const ChartKind kind =
        kChartKinds[static_cast<std::size_t>(std::max(0, chartTabs_->currentIndex()))];
    const QString name = chartKey(kind) + QLatin1Char('-') + modelFileKey(model->model) +
                         (svg ? QStringLiteral(".svg") : QStringLiteral(".png"));
    const auto path = dialogs_.chooseFileToSave(
        this, svg ? QStringLiteral("Export Chart as SVG") : QStringLiteral("Export Chart as PNG"),
        QDir(lastFolder()).filePath(name),
        svg ? QStringLiteral("SVG images (*.svg)") : QStringLiteral("PNG images (*.png)"),
        svg ? QStringLiteral("svg") : QStringLiteral("png"));
    if (!path)
        return;
    rememberFolder(*path);
    // Exported charts go on paper and slides: always the light theme.
    const std::unique_ptr<QChart> chart =
        makeChart(*model, kind, QChart::ChartThemeLight, numberFormat());
    const QSizeF layoutSize(1000, 640);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (svg) {
        QSvgGenerator generator;
        generator.setOutputDevice(&buffer);
        generator.setSize(layoutSize.toSize());
        generator.setViewBox(QRectF(QPointF(0, 0), layoutSize));
        generator.setTitle(chartTitle(kind) + QStringLiteral(", ") + modelName(model->model));
        generator.setDescription(chartFigures(*model, kind, numberFormat()));
        QPainter painter(&generator);
        paintChart(*chart, painter, QRectF(QPointF(0, 0), layoutSize), layoutSize);
    } else {
        QImage image((layoutSize * 2).toSize(), QImage::Format_ARGB32);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            paintChart(*chart, painter, QRectF(QPointF(0, 0), layoutSize * 2), layoutSize);
        }
        image.save(&buffer, "PNG");
    }
    if (writeFile(*path, bytes))
        statusText_->setText(QStringLiteral("Chart saved as %1.").arg(*path));
}

void AuditWindow::exportTable(const FigureTableModel* model, const QString& name) {
    if (!load_)
        return;
    const auto path =
        dialogs_.chooseFileToSave(this, QStringLiteral("Export Table as CSV"),
                                  QDir(lastFolder()).filePath(name + QStringLiteral(".csv")),
                                  QStringLiteral("CSV files (*.csv)"), QStringLiteral("csv"));
    if (!path)
        return;
    rememberFolder(*path);
    if (writeFile(*path, csvText(model->table())))
        statusText_->setText(QStringLiteral("Table saved as %1.").arg(*path));
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
