// SPDX-License-Identifier: GPL-3.0-or-later
#include "auditwindow/summarypage.h"

#include "audit/completeness.h"
#include "auditwindow/auditloader.h"
#include "auditwindow/figuretablemodel.h"
#include "auditwindow/pagefit.h"
#include "auditwindow/validationtables.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include <tuple>

namespace caldrin::auditwindow {

using namespace caldrin::audit;

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

namespace {

// Every row whole: the page around the tables scrolls, never a table.
void fitRows(QTableView* view) {
    view->resizeRowsToContents();
    int height = view->horizontalHeader()->height() + 2 * view->frameWidth();
    for (int row = 0; row < view->model()->rowCount(); ++row)
        height += view->rowHeight(row);
    view->setMinimumHeight(height);
    view->setMaximumHeight(height);
}

// The risk bands' columns as wide as their contents. A last column of
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

// A table's last column in words, one line per model (rows with nothing to
// say left out), bold where the figures differ from the model's
// expectation: the conclusion a meeting reads first.
QString findingLines(const FigureTable& table) {
    QStringList lines;
    for (const TableRow& row : table.rows) {
        if (row.cells.size() < 2 || row.cells.constLast().isEmpty())
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

SummaryPage::SummaryPage(QWidget* parent)
    : QScrollArea(parent) {
    setObjectName(QStringLiteral("summaryPage"));
    setWidgetResizable(true);
    setFrameShape(QFrame::NoFrame);
    morbidityModel_ = new FigureTableModel(this);
    mortalityModel_ = new FigureTableModel(this);
    bandModel_ = new FigureTableModel(this);
    calibrationModel_ = new FigureTableModel(this);
    comparisonModel_ = new FigureTableModel(this);
    auto* page = new QWidget;
    setWidget(page);
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
    calibrationTable_ = makeTableView(calibrationModel_, QStringLiteral("calibrationTable"),
                                      QStringLiteral("Calibration"));
    comparisonTable_ = makeTableView(comparisonModel_, QStringLiteral("comparisonTable"),
                                     QStringLiteral("AUROCs compared"));
    viewport()->installEventFilter(this); // fitSummaryText

    morbidityFindings_ = new QLabel;
    morbidityFindings_->setObjectName(QStringLiteral("morbidityFindings"));
    mortalityFindings_ = new QLabel;
    mortalityFindings_->setObjectName(QStringLiteral("mortalityFindings"));
    calibrationNotes_ = new QLabel;
    calibrationNotes_->setObjectName(QStringLiteral("calibrationNotes"));
    comparisonNotes_ = new QLabel;
    comparisonNotes_->setObjectName(QStringLiteral("comparisonNotes"));
    calibrationReading_ = new QLabel(calibrationReading());
    calibrationReading_->setObjectName(QStringLiteral("calibrationReading"));
    for (QLabel* findings : belowTables()) {
        findings->setWordWrap(true);
        findings->setTextFormat(Qt::RichText);
        findings->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    }
    QLabel* const none = nullptr;
    for (auto [title, view, findings, reading] :
         {std::tuple{QStringLiteral("Morbidity"), morbidityTable_, morbidityFindings_, none},
          std::tuple{QStringLiteral("Mortality"), mortalityTable_, mortalityFindings_, none},
          std::tuple{QStringLiteral("Calibration (95% intervals in brackets)"), calibrationTable_,
                     calibrationNotes_, none},
          std::tuple{QStringLiteral("AUROCs compared (paired DeLong test)"), comparisonTable_,
                     comparisonNotes_, calibrationReading_},
          std::tuple{QStringLiteral("Risk bands of the chosen model"), bandTable_, none, none}}) {
        if (view == bandTable_) {
            view->setWordWrap(true);
            // The finding's column follows the page's width: its rows follow it.
            connect(view->horizontalHeader(), &QHeaderView::sectionResized, view,
                    [view](int section) {
                        if (section == view->model()->columnCount() - 1)
                            fitRows(view);
                    });
        } else {
            // Figures only (their findings are said below): as wide as they are.
            keepFitted(view);
        }
        auto* label = new QLabel(QStringLiteral("<b>%1</b>").arg(title));
        label->setBuddy(view);
        layout->addWidget(label);
        layout->addWidget(view);
        for (QLabel* below : {findings, reading})
            if (below)
                layout->addWidget(below);
        if (view == calibrationTable_) {
            // Where a model is seen to be miscalibrated, its update is one step away.
            updateButton_ = new QPushButton(QStringLiteral("&Update the chosen model..."));
            updateButton_->setObjectName(QStringLiteral("updateModelButton"));
            updateButton_->setToolTip(QStringLiteral(
                "Fit an update of the model chosen above on the episodes of the dates shown"));
            updateButton_->setEnabled(false);
            connect(updateButton_, &QPushButton::clicked, this, &SummaryPage::updateRequested);
            auto* row = new QHBoxLayout;
            row->addWidget(updateButton_);
            row->addStretch(1);
            layout->addLayout(row);
        }
    }
    layout->addStretch(1);
}

namespace {

// The warning of each outcome too incomplete for O:E to be read, first thing
// after the counts (see the Outcomes to complete page).
QString incompleteOutcomes(const AnalysisResult& result) {
    QString text;
    if (!result.completeness)
        return text;
    for (const OutcomeCompleteness& outcome : result.completeness->outcomes)
        if (outcome.incomplete())
            text += QLatin1Char('\n') + QString::fromStdString(audit::incompleteWarning(
                                            outcome, result.completeness->dueDays));
    return text;
}

} // namespace

void SummaryPage::show(const AuditLoad& load, const ModelResult* picked, const NumberFormat& format,
                       const QString& dateRange) {
    updateButton_->setEnabled(true);
    const AnalysisResult& r = load.result;
    morbidityModel_->setTable(summaryTable(r, Outcome::Morbidity, format));
    mortalityModel_->setTable(summaryTable(r, Outcome::Mortality, format));
    calibrationModel_->setTable(calibrationTable(r, format));
    comparisonModel_->setTable(comparisonTable(r, format));
    if (picked)
        bandModel_->setTable(bandTable(*picked, format));
    // The summaries' findings and the notes on missing or imprecise figures
    // are said in full below each table instead of in a column too narrow
    // for them.
    for (auto [view, findings] : {std::pair{morbidityTable_, morbidityFindings_},
                                  std::pair{mortalityTable_, mortalityFindings_},
                                  std::pair{calibrationTable_, calibrationNotes_},
                                  std::pair{comparisonTable_, comparisonNotes_}}) {
        const auto* model = static_cast<const FigureTableModel*>(view->model());
        view->setColumnHidden(model->columnCount() - 1, true);
        findings->setText(findingLines(model->table()));
        findings->setHidden(findings->text().isEmpty()); // no gap where nothing needs saying
        findings->setAccessibleName(model->table().title + QStringLiteral(" findings"));
    }
    fitSummaryText();
    fitColumns(bandTable_);
    for (QTableView* view :
         {morbidityTable_, mortalityTable_, calibrationTable_, comparisonTable_, bandTable_}) {
        const auto* model = static_cast<const FigureTableModel*>(view->model());
        view->setAccessibleDescription(model->table().asText());
    }
    summaryLabel_->setText(
        QStringLiteral("%1 read (%2 replaced by a later record of the same episode), "
                       "%3; %4 analysed, dates: %5. %6%7.")
            .arg(countOf(load.data->recordsRead(), "record", "records"))
            .arg(load.data->mergedRecords())
            .arg(countOf(r.episodes, "episode", "episodes"))
            .arg(r.inDateRange)
            .arg(dateRange)
            .arg(countOf(load.data->problemCount(), "reading problem", "reading problems"),
                 refusedFilesNote(*load.data)) +
        incompleteOutcomes(r));
    fitSummaryText();
}

QList<QLabel*> SummaryPage::belowTables() const {
    return {morbidityFindings_, mortalityFindings_, calibrationNotes_, comparisonNotes_,
            calibrationReading_};
}

void SummaryPage::repaintTints() {
    for (QTableView* view :
         {morbidityTable_, mortalityTable_, calibrationTable_, comparisonTable_, bandTable_})
        view->viewport()->update();
}

bool SummaryPage::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Resize && watched == viewport())
        fitSummaryText();
    return QScrollArea::eventFilter(watched, event);
}

void SummaryPage::fitSummaryText() {
    fitLabelsToViewport(*this, belowTables() + QList<QLabel*>{summaryLabel_});
}

} // namespace caldrin::auditwindow
