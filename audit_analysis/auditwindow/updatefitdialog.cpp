// SPDX-License-Identifier: GPL-3.0-or-later
#include "auditwindow/updatefitdialog.h"

#include "audit/text.h"
#include "auditwindow/auditloader.h"
#include "auditwindow/auditwindow.h"
#include "auditwindow/chartparts.h"
#include "auditwindow/filterbar.h"
#include "auditwindow/modelnames.h"
#include "bedsideupdate/bedsideupdate.h"
#include "platform/helptopic.h"
#include "platform/platform.h"

#include <QChartView>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLegend>
#include <QLineEdit>
#include <QLineSeries>
#include <QPushButton>
#include <QScrollArea>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

#ifndef CALDRIN_VERSION
#define CALDRIN_VERSION "unknown"
#endif

namespace caldrin::auditwindow {

using audit::UpdateCandidate;
using modelupdate::Method;

namespace {

QString text(std::string_view view) {
    return QString::fromUtf8(view.data(), qsizetype(view.size()));
}

QString dayText(const audit::Date& date) {
    return qDateOf(audit::dayNumber(date)).toString(QStringLiteral("d MMM yyyy"));
}

// The estimated terms as the equations name them.
QString termName(std::string_view key) {
    if (key == "physiological_score")
        return QStringLiteral("PS");
    if (key == "operative_score")
        return QStringLiteral("OS");
    return text(key);
}

QString equationOf(Method method, std::size_t terms) {
    switch (method) {
    case Method::Original:
        return QStringLiteral("logit p' = L");
    case Method::RecalibrationInTheLarge:
        return QStringLiteral("logit p' = intercept + L");
    case Method::LogisticRecalibration:
        return QStringLiteral("logit p' = intercept + slope L");
    case Method::Revision:
        return terms > 2 ? QStringLiteral("logit p' = intercept + b PS + c OS")
                         : QStringLiteral("logit p' = intercept + b PS");
    }
    return {};
}

QLabel* makeNote(const QString& name) {
    auto* label = new QLabel;
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    // Reached by Tab, so that a screen reader reads it.
    label->setFocusPolicy(Qt::StrongFocus);
    return label;
}

QTableWidget* makeTable(const QString& name, const QStringList& headers) {
    auto* table = new QTableWidget(0, int(headers.size()));
    table->setObjectName(name);
    table->setHorizontalHeaderLabels(headers);
    table->verticalHeader()->hide();
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setWordWrap(false);
    table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    return table;
}

void setRow(QTableWidget* table, int row, const QStringList& cells) {
    for (int c = 0; c < cells.size(); ++c)
        table->setItem(row, c, new QTableWidgetItem(cells[c]));
}

// Every row and column shown whole: a dialog too small for the table
// scrolls as a whole instead.
void fitTableToContents(QTableWidget* table) {
    table->resizeColumnsToContents();
    table->resizeRowsToContents();
    table->horizontalHeader()->setStretchLastSection(true);
    int width = 2 * table->frameWidth();
    for (int c = 0; c < table->columnCount(); ++c)
        width += table->columnWidth(c);
    int height = table->horizontalHeader()->sizeHint().height() + 2 * table->frameWidth();
    for (int r = 0; r < table->rowCount(); ++r)
        height += table->rowHeight(r);
    table->setMinimumWidth(width);
    table->setFixedHeight(height);
}

} // namespace

UpdateFitDialog::UpdateFitDialog(Platform& platform, AuditDialogs& dialogs,
                                 std::shared_ptr<const AuditLoad> load, audit::Model model,
                                 const NumberFormat& format, QWidget* parent)
    : QDialog(parent)
    , platform_(platform)
    , load_(std::move(load))
    , model_(model)
    , format_(format)
    , exporter_(platform, dialogs, *this) {
    setObjectName(QStringLiteral("UpdateFitDialog"));
    setWindowTitle(QStringLiteral("Update this Model: ") + audit::modelName(model));

    std::vector<audit::UpdateObservation> fitted;
    fit_ = audit::fitUpdate(*load_->data, model, load_->options.from, load_->options.to, &fitted);
    calibration_ = audit::apparentCalibration(fit_, fitted);

    episodesLabel = makeNote(QStringLiteral("updateEpisodes"));
    QString events = eventsWord(audit::modelOutcome(model));
    if (fit_.events == 1)
        events.chop(1); // "death", "complication"
    QString episodes =
        QStringLiteral("%1, fitted on %2, %3 %4, ")
            .arg(audit::modelName(model), countOf(fit_.episodes, "episode", "episodes"),
                 format_.count(fit_.events), events);
    if (fit_.from && fit_.to)
        episodes += (load_->options.from ? QStringLiteral("in the date range shown, %1 to %2.")
                                         : QStringLiteral("over all dates read, %1 to %2."))
                        .arg(dayText(*fit_.from), dayText(*fit_.to));
    else
        episodes += QStringLiteral("in the date range shown.");
    episodes += QStringLiteral(" Counted episodes with a known outcome and both scores.");
    if (fit_.undatedLeftOut > 0)
        episodes += QStringLiteral(" Left out: %1 without a readable date of procedure, which "
                                   "cannot be placed in the period.")
                        .arg(countOf(fit_.undatedLeftOut, "episode", "episodes"));
    episodesLabel->setText(episodes);

    candidateTable = makeTable(QStringLiteral("updateCandidates"),
                               {QStringLiteral("Method and equation"),
                                QStringLiteral("Estimates \u00b1 standard error"),
                                QStringLiteral("Log-likelihood")});
    candidateTable->setAccessibleName(QStringLiteral("Candidates"));
    fillCandidates();

    auto* testNote = makeNote(QStringLiteral("closedTestNote"));
    testNote->setText(
        fit_.largestTested
            ? QStringLiteral("Closed testing procedure (Vergouwe et al., Stat Med 2017): "
                             "likelihood-ratio tests against %1 at the 5% level, least "
                             "extensive first; the first not rejected is kept.")
                  .arg(text(modelupdate::methodTitle(*fit_.largestTested)))
            : QStringLiteral("No likelihood-ratio test was made."));
    closedTestTable =
        makeTable(QStringLiteral("closedTest"),
                  {QStringLiteral("Kept if not rejected"), QStringLiteral("Tested against"),
                   QStringLiteral("Chi-square"), QStringLiteral("df"), QStringLiteral("p"),
                   QStringLiteral("Result")});
    closedTestTable->setAccessibleName(QStringLiteral("Likelihood-ratio tests"));
    fillClosedTest();

    choiceLabel = makeNote(QStringLiteral("updateChoice"));
    QFont bold = choiceLabel->font();
    bold.setBold(true);
    choiceLabel->setFont(bold);
    const std::optional<modelupdate::ModelUpdate> chosen = audit::chosenUpdate(fit_, {});
    QString reason = text(fit_.reason);
    if (reason.startsWith(QStringLiteral("no update: ")))
        reason.remove(0, 11);
    QString choice;
    if (chosen) {
        choice = QStringLiteral("Chosen: %1: %2.")
                     .arg(text(modelupdate::methodTitle(chosen->method)),
                          bedsideupdate::equationWithEstimates(*chosen));
        if (!reason.isEmpty()) // why the choice was limited
            choice +=
                QLatin1Char(' ') + reason.left(1).toUpper() + reason.mid(1) + QLatin1Char('.');
    } else {
        choice = QStringLiteral("No update is chosen, so none can be saved");
        choice += reason.isEmpty() ? QStringLiteral(".") : QStringLiteral(": ") + reason + '.';
    }
    choiceLabel->setText(choice);

    calibrationView = new QChartView;
    calibrationView->setObjectName(QStringLiteral("apparentCalibration"));
    calibrationView->setRenderHint(QPainter::Antialiasing);
    calibrationView->setMinimumSize(360, 300);
    fillChart();

    unitEdit = new QLineEdit;
    unitEdit->setObjectName(QStringLiteral("unitName"));
    unitEdit->setMaxLength(200); // as much as an update's document holds
    unitEdit->setPlaceholderText(QStringLiteral("e.g. Ward 7, St Elsewhere"));
    auto* unitLabel = new QLabel(QStringLiteral("&Unit's name:"));
    unitLabel->setBuddy(unitEdit);

    saveButton = new QPushButton(QStringLiteral("&Save the update..."));
    saveButton->setObjectName(QStringLiteral("saveUpdate"));
    bedsideButton = new QPushButton(QStringLiteral("Use at the &Bedside..."));
    bedsideButton->setObjectName(QStringLiteral("useAtBedside"));
    bedsideButton->setToolTip(
        QStringLiteral("Make this update the calculator's figure for this unit"));
    for (QPushButton* button : {saveButton, bedsideButton}) {
        button->setAutoDefault(false);
        button->setEnabled(chosen.has_value());
    }
    auto* closeButtons = new QDialogButtonBox(QDialogButtonBox::Close | QDialogButtonBox::Help);
    connect(closeButtons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(closeButtons, &QDialogButtonBox::helpRequested, this,
            [this] { ShowHelpTopic(platform_, QStringLiteral("analysis-update")); });
    connect(saveButton, &QPushButton::clicked, this, &UpdateFitDialog::saveClicked);
    connect(bedsideButton, &QPushButton::clicked, this, &UpdateFitDialog::bedsideClicked);

    // The figures scroll; the unit's name and the buttons stay in view.
    auto* contents = new QWidget;
    columns_ = new QBoxLayout(QBoxLayout::LeftToRight, contents);
    auto* columns = columns_;
    auto* figures = new QVBoxLayout;
    figures->addWidget(episodesLabel);
    auto* candidates = new QGroupBox(QStringLiteral("Candidates"));
    auto* candidatesLayout = new QVBoxLayout(candidates);
    auto* logitNote = makeNote(QStringLiteral("logitNote"));
    logitNote->setText(QStringLiteral("L: the published equation's log-odds of the risk."));
    candidatesLayout->addWidget(logitNote);
    candidatesLayout->addWidget(candidateTable);
    figures->addWidget(candidates);
    auto* tests = new QGroupBox(QStringLiteral("Choosing among them"));
    auto* testsLayout = new QVBoxLayout(tests);
    testsLayout->addWidget(testNote);
    testsLayout->addWidget(closedTestTable);
    testsLayout->addWidget(choiceLabel);
    figures->addWidget(tests);
    figures->addStretch(1);
    columns->addLayout(figures, 3);
    columns->addWidget(calibrationView, 2);
    auto* scroll = new QScrollArea;
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidget(contents);

    // What Save or Use at the Bedside did, in the dialog as in the window.
    auto* doneLabel = makeNote(QStringLiteral("updateDone"));
    doneLabel->setVisible(false);
    connect(this, &UpdateFitDialog::saved, doneLabel, [doneLabel](const QString& done) {
        doneLabel->setText(done);
        doneLabel->setVisible(true);
    });

    auto* unitRow = new QHBoxLayout;
    unitRow->addWidget(unitLabel);
    unitRow->addWidget(unitEdit, 1);
    auto* buttonRow = new QHBoxLayout;
    buttonRow->addWidget(saveButton);
    buttonRow->addWidget(bedsideButton);
    buttonRow->addStretch(1);
    buttonRow->addWidget(closeButtons);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(scroll, 1);
    layout->addWidget(doneLabel);
    layout->addLayout(unitRow);
    layout->addLayout(buttonRow);

    setTabOrder(episodesLabel, candidateTable);
    setTabOrder(candidateTable, testNote);
    setTabOrder(testNote, closedTestTable);
    setTabOrder(closedTestTable, choiceLabel);
    setTabOrder(choiceLabel, unitEdit);
    setTabOrder(unitEdit, saveButton);
    setTabOrder(saveButton, bedsideButton);
    unitEdit->setFocus();
    resize(1100, 720);
}

UpdateFitDialog::~UpdateFitDialog() = default;

void UpdateFitDialog::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    // The chart beside the tables where there is room for both, else below.
    columns_->setDirection(width() >= 1000 ? QBoxLayout::LeftToRight : QBoxLayout::TopToBottom);
}

void UpdateFitDialog::fillCandidates() {
    const riskmodels::RiskModel& entry = audit::modelEntry(model_);
    candidateTable->setRowCount(int(fit_.candidates.size()));
    int row = 0;
    for (const UpdateCandidate& c : fit_.candidates) {
        QString estimates;
        if (!c.logLikelihood) {
            estimates = QStringLiteral("Not fitted: ") + text(c.missing);
        } else if (c.coefficients.empty()) {
            estimates = QStringLiteral("nothing estimated");
        } else {
            const auto names = modelupdate::coefficientNames(c.method, entry);
            QStringList terms;
            for (std::size_t i = 0; i < c.coefficients.size(); ++i)
                terms << QStringLiteral("%1 %2 \u00b1 %3")
                             .arg(termName(names[i]), format_.number(c.coefficients[i], 4),
                                  format_.number(std::sqrt(c.covariance[i][i]), 4));
            estimates = terms.join(QLatin1Char('\n'));
        }
        setRow(candidateTable, row++,
               {text(modelupdate::methodTitle(c.method)) + QLatin1Char('\n') +
                    equationOf(c.method, c.coefficients.size()),
                estimates,
                c.logLikelihood ? format_.number(*c.logLikelihood, 2) : QStringLiteral("none")});
    }
    fitTableToContents(candidateTable);
}

void UpdateFitDialog::fillClosedTest() {
    closedTestTable->setRowCount(int(fit_.closedTest.size()));
    int row = 0;
    for (const modelupdate::LikelihoodRatioTest& t : fit_.closedTest)
        setRow(closedTestTable, row++,
               {text(modelupdate::methodTitle(t.kept)), text(modelupdate::methodTitle(t.against)),
                format_.number(t.statistic, 2), QString::number(t.degreesOfFreedom),
                format_.pValue(t.p),
                t.p >= audit::kClosedTestLevel ? QStringLiteral("not rejected: kept")
                                               : QStringLiteral("rejected")});
    fitTableToContents(closedTestTable);
    closedTestTable->setVisible(!fit_.closedTest.empty());
}

void UpdateFitDialog::fillChart() {
    auto* chart = new QChart;
    chart->setTheme(palette().color(QPalette::Window).lightness() < 128 ? QChart::ChartThemeDark
                                                                        : QChart::ChartThemeLight);
    chart->setTitle(QStringLiteral("Apparent calibration on the episodes fitted"));
    double top = 0.05;
    for (const auto* groups : {&calibration_.published, &calibration_.updated})
        for (const audit::CalibrationGroup& g : *groups)
            top = std::max({top, g.predicted, g.observed});
    top = std::min(1.0, top * 1.1);
    QValueAxis* x = addAxis(chart, Qt::AlignBottom,
                            QStringLiteral("Predicted risk (tenths of episodes)"), 0, top);
    QValueAxis* y = addAxis(chart, Qt::AlignLeft, QStringLiteral("Observed rate"), 0, top);
    auto* diagonal =
        addSeries<QLineSeries>(chart, QStringLiteral("diagonal"), QStringLiteral("Ideal"), x, y);
    diagonal->append({{0, 0}, {top, top}});
    QPen dashed(QColor(127, 127, 127), 1.5, Qt::DashLine);
    diagonal->setPen(dashed);
    QStringList words;
    const auto addCurve = [&](const std::vector<audit::CalibrationGroup>& groups,
                              const QString& name, const QString& label, const QColor& colour) {
        if (groups.empty())
            return;
        auto* series = addSeries<QLineSeries>(chart, name, label, x, y);
        series->setPointsVisible(true);
        series->setPen(QPen(colour, 2.5));
        QStringList points;
        for (const audit::CalibrationGroup& g : groups) {
            series->append(g.predicted, g.observed);
            points << QStringLiteral("%1 against %2")
                          .arg(format_.number(g.observed, 3), format_.number(g.predicted, 3));
        }
        words << label + QStringLiteral(", observed against predicted: ") +
                     points.join(QStringLiteral("; "));
    };
    addCurve(calibration_.published, QStringLiteral("published"), QStringLiteral("Published"),
             QColor(214, 39, 40));
    if (const auto chosen = audit::chosenUpdate(fit_, {}))
        addCurve(calibration_.updated, QStringLiteral("updated"), QStringLiteral("Updated"),
                 QColor(31, 119, 180));
    chart->legend()->setAlignment(Qt::AlignBottom);
    withoutLigatures(chart);
    // The view owns the chart it shows and gives the one it showed back.
    const std::unique_ptr<QChart> old(calibrationView->chart());
    calibrationView->setChart(chart);
    calibrationView->setAccessibleName(chart->title());
    calibrationView->setAccessibleDescription(words.join(QLatin1Char('\n')));
    calibrationView->setToolTip(
        QStringLiteral("Apparent: measured on the same episodes the update was fitted on, so "
                       "the update looks better calibrated here than it will be on later "
                       "episodes. Check it on later data with File > Add an Update."));
}

QByteArray UpdateFitDialog::document() {
    audit::UpdateProvenance provenance;
    provenance.unit = unitEdit->text().trimmed().toStdString();
    provenance.created =
        QDateTime::currentDateTimeUtc().toString(Qt::ISODate).toStdString(); // ...T08:57:00Z
    provenance.programVersion = CALDRIN_VERSION;
    for (const audit::FileSummary& file : load_->data->files())
        if (file.opened && !file.sameFileAs)
            provenance.inputFiles.push_back(
                {audit::wellFormedUtf8(file.path, true), file.bytes, file.records});
    const std::optional<modelupdate::ModelUpdate> update = audit::chosenUpdate(fit_, provenance);
    if (!update)
        return {};
    const modelupdate::WrittenUpdate written = modelupdate::updateDocument(*update);
    if (!written.problem.empty()) {
        platform_.showError(
            this, QStringLiteral("The update cannot be written: %1.").arg(text(written.problem)));
        return {};
    }
    return QByteArray::fromStdString(written.text);
}

void UpdateFitDialog::saveClicked() {
    const QByteArray bytes = document();
    if (bytes.isEmpty())
        return;
    QString name = QStringLiteral("model-update-") + audit::modelFileKey(model_);
    if (fit_.from && fit_.to)
        name += QStringLiteral("-%1-to-%2")
                    .arg(text(audit::isoDate(*fit_.from)), text(audit::isoDate(*fit_.to)));
    const std::optional<QString> path = exporter_.saveBytes(
        *load_, bytes, QStringLiteral("Save the Update"), name + QStringLiteral(".json"),
        QStringLiteral("Model updates (*.json)"), QStringLiteral("json"));
    if (path)
        Q_EMIT saved(QStringLiteral("Update saved as %1.").arg(*path));
}

void UpdateFitDialog::bedsideClicked() {
    const QByteArray bytes = document();
    if (bytes.isEmpty())
        return;
    if (bedsideupdate::useAtBedside(platform_, this, kAuditWindowTitle,
                                    bedsideupdate::checked(bytes)))
        Q_EMIT saved(QStringLiteral("The update is set for the calculator (%1); a calculator "
                                    "already open shows it once started again.")
                         .arg(bedsideupdate::updatePath()));
}

} // namespace caldrin::auditwindow
