// SPDX-License-Identifier: GPL-3.0-or-later
#include "auditwindow/auditreportpages.h"
#include "auditwindow/modelnames.h"

#include "audit/completeness.h"
#include "auditwindow/auditcharts.h"
#include "auditwindow/timecharts.h"

#include <QFileInfo>
#include <QPagedPaintDevice>
#include <QPainter>

#include <algorithm>
#include <memory>

namespace caldrin::auditwindow {

using namespace caldrin::audit;

namespace {

constexpr double kMargin = 36; // points
constexpr double kProblemsListed = 40;
constexpr double kFooterHeight = 16; // points kept free above the margin for the footer
// Charts are laid out at this many screen pixels per point: their fonts
// keep the proportions they have on screen while a half-page chart is wide
// enough for its legend and axis titles whole (at 1.4 the calibration
// legend was cut short).
constexpr double kChartPixelsPerPoint = 1.8;

QFont fontOf(double points, bool bold = false) {
    QFont font;
    font.setPixelSize(static_cast<int>(points));
    font.setBold(bold);
    // No ligatures: a reader searching the PDF for "difference" must find it,
    // not "di\uFB00erence".
    font.setStyleStrategy(QFont::PreferNoShaping);
    return font;
}

// An interval such as "0.61–0.93 (0.5–0.7)" stays on one line: no break at
// its dash or before its bracket.
QString unbroken(QString text) {
    text.replace(QStringLiteral(" ("), QStringLiteral("\u00A0("));
    text.replace(QStringLiteral("\u2013"), QStringLiteral("\u2060\u2013\u2060"));
    return text;
}

// Lays text, tables and charts down the page in points and starts a new page
// where the next item would not fit.
class PageWriter {
public:
    // `footer` goes at the foot of every page, before its number.
    PageWriter(QPagedPaintDevice& device, QPainter& painter, QString footer)
        : device_(device)
        , painter_(painter)
        , footer_(std::move(footer)) {
        scale_ = device.logicalDpiX() / 72.0;
        painter_.scale(scale_, scale_);
        width_ = device.width() / scale_ - 2 * kMargin;
        footerY_ = device.height() / scale_ - kMargin;
        bottom_ = footerY_ - kFooterHeight;
        y_ = kMargin;
        drawFooter();
    }

    int pages() const { return pages_; }
    double remaining() const { return bottom_ - y_; }
    double width() const { return width_; }

    void newPage() {
        device_.newPage();
        ++pages_;
        y_ = kMargin;
        drawFooter();
    }

    void space(double points) { y_ += points; }

    void text(const QString& text, double size, bool bold = false) {
        const QFont font = fontOf(size, bold);
        painter_.setFont(font);
        const QRectF bounds =
            painter_.boundingRect(QRectF(kMargin, 0, width_, 1e6), Qt::TextWordWrap, text);
        ensure(bounds.height());
        painter_.drawText(QRectF(kMargin, y_, width_, bounds.height()), Qt::TextWordWrap, text);
        y_ += bounds.height() + size * 0.4;
    }

    void table(const FigureTable& table) {
        const QFont normal = fontOf(7);
        const QFont bold = fontOf(7, true);
        const qsizetype columns = table.headers.size();
        // Natural widths, shrunk in proportion when the page is too narrow;
        // cells then wrap.
        std::vector<double> widths(static_cast<std::size_t>(columns), 0);
        for (qsizetype c = 0; c < columns; ++c) {
            double& w = widths[static_cast<std::size_t>(c)];
            w = painterWidth(bold, table.headers[c]);
            for (const TableRow& row : table.rows)
                if (c < row.cells.size())
                    w = std::max(w, painterWidth(bold, row.cells[c]));
            w += 6;
        }
        double total = 0;
        for (double w : widths)
            total += w;
        // Too wide for the page: the last column (findings in words) wraps
        // first; the figures shrink only when that is not enough.
        const double wordsWidth = 150;
        if (total > width_ && widths.back() > wordsWidth) {
            const double cut = std::min(total - width_, widths.back() - wordsWidth);
            widths.back() -= cut;
            total -= cut;
        }
        if (total > width_)
            for (double& w : widths)
                w *= width_ / total;

        auto rowHeight = [&](const QStringList& cells, const QFont& font) {
            painter_.setFont(font);
            double height = 0;
            for (qsizetype c = 0; c < columns && c < cells.size(); ++c)
                height = std::max(
                    height,
                    painter_
                        .boundingRect(QRectF(0, 0, widths[static_cast<std::size_t>(c)] - 4, 1e6),
                                      Qt::TextWordWrap, unbroken(cells[c]))
                        .height());
            return height + 4;
        };
        auto drawRow = [&](const QStringList& cells, const QFont& font, double height) {
            painter_.setFont(font);
            double x = kMargin;
            for (qsizetype c = 0; c < columns && c < cells.size(); ++c) {
                const double w = widths[static_cast<std::size_t>(c)];
                painter_.drawText(QRectF(x + 2, y_ + 2, w - 4, height - 2), Qt::TextWordWrap,
                                  unbroken(cells[c]));
                x += w;
            }
            y_ += height;
            painter_.drawLine(QPointF(kMargin, y_), QPointF(kMargin + std::min(total, width_), y_));
        };

        text(table.title, 10, true);
        const double headerHeight = rowHeight(table.headers, bold);
        ensure(headerHeight * 2);
        drawRow(table.headers, bold, headerHeight);
        for (const TableRow& row : table.rows) {
            // Rows with a finding are printed bold as well as saying it in words.
            const bool marked = row.finding == Finding::MoreThanExpected ||
                                row.finding == Finding::FewerThanExpected;
            const QFont& font = marked ? bold : normal;
            const double height = rowHeight(row.cells, font);
            if (height > remaining()) {
                newPage();
                drawRow(table.headers, bold, headerHeight);
            }
            drawRow(row.cells, font, height);
        }
        y_ += 10;
    }

    // Charts side by side in the given height.
    void charts(const std::vector<std::unique_ptr<QChart>>& charts, double height) {
        ensure(height);
        const double gap = 12;
        const double w = (width_ - gap * static_cast<double>(charts.size() - 1)) /
                         static_cast<double>(charts.size());
        double x = kMargin;
        for (const std::unique_ptr<QChart>& chart : charts) {
            paintChart(*chart, painter_, QRectF(x, y_, w, height),
                       QSizeF(w, height) * kChartPixelsPerPoint);
            x += w + gap;
        }
        y_ += height + 8;
    }

private:
    double painterWidth(const QFont& font, const QString& text) {
        painter_.setFont(font);
        return painter_.boundingRect(QRectF(0, 0, 1e6, 1e6), 0, text).width();
    }

    // Every page says what it is part of and where it is, so that a page
    // taken out of a meeting's pack can be placed.
    void drawFooter() {
        painter_.setFont(fontOf(7));
        const QRectF line(kMargin, footerY_ - 9, width_, 10);
        painter_.drawText(line, Qt::AlignLeft | Qt::AlignBottom, footer_);
        painter_.drawText(line, Qt::AlignRight | Qt::AlignBottom,
                          QStringLiteral("Page %1").arg(pages_));
    }

    void ensure(double height) {
        if (height > remaining() && y_ > kMargin)
            newPage();
    }

    QPagedPaintDevice& device_;
    QPainter& painter_;
    double scale_ = 1;
    double width_ = 0;
    double bottom_ = 0;
    double footerY_ = 0;
    double y_ = 0;
    int pages_ = 1;
    QString footer_;
};

void titlePage(PageWriter& page, const ReportContext& context) {
    page.text(QStringLiteral("Audit report"), 22, true);
    page.text(QStringLiteral("Observed against expected outcomes. Prepared by Caldrin Audit on %1.")
                  .arg(context.generated.toString(QStringLiteral("d MMMM yyyy"))),
              10);
    page.space(6);
    page.text(QStringLiteral("Files"), 12, true);
    for (const FileSummary& file : context.data.files()) {
        const QString path = QString::fromUtf8(file.path);
        if (file.sameFileAs)
            page.text(
                QStringLiteral("%1: the same file as %2; read once")
                    .arg(path, QString::fromUtf8(context.data.files()[*file.sameFileAs].path)),
                9);
        else if (!file.opened)
            page.text(QStringLiteral("%1: could not be read (%2)")
                          .arg(path, QString::fromUtf8(file.openError)),
                      9);
        else
            page.text(QStringLiteral("%1: %2 records on %3 lines, %4 reading problems")
                          .arg(path)
                          .arg(file.records)
                          .arg(file.lines)
                          .arg(file.problemCount()),
                      9);
    }
    page.space(4);
    page.text(QStringLiteral("Date range: ") + context.dateRange, 10, true);
    const AnalysisResult& r = context.result;
    page.text(QStringLiteral("%1 records read, %2 replaced by a later record of the same episode; "
                             "%3 episodes, %4 of them analysed.")
                  .arg(context.data.recordsRead())
                  .arg(context.data.mergedRecords())
                  .arg(r.episodes)
                  .arg(r.inDateRange),
              9);
    page.space(6);
    page.table(summaryTable(r, Outcome::Morbidity, context.format));
    page.table(summaryTable(r, Outcome::Mortality, context.format));
    if (const auto& completeness = r.completeness) {
        // Read before O:E: figures of a partly followed-up audit describe only
        // the patients whose outcome happened to be known.
        const Date& today = completeness->today;
        page.table(completenessTable(*completeness, context.format));
        page.text(QStringLiteral("On %1; an episode is due %2 days after its procedure, or at once "
                                 "when its date cannot be read.")
                      .arg(QDate(today.year, today.month, today.day)
                               .toString(QStringLiteral("d MMM yyyy")))
                      .arg(completeness->dueDays),
                  9);
        for (const OutcomeCompleteness& o : completeness->outcomes)
            if (o.incomplete())
                page.text(QString::fromStdString(incompleteWarning(o, completeness->dueDays)), 9,
                          true);
    }
}

void problemsSection(PageWriter& page, const ReportContext& context) {
    FigureTable problems = problemTable(context.data, context.result);
    if (problems.rows.empty())
        return;
    const std::size_t listed = static_cast<std::size_t>(kProblemsListed);
    const std::size_t more = problems.rows.size() > listed ? problems.rows.size() - listed : 0;
    if (more) {
        // The exclusion counts come last; keep them and cut the list of lines.
        std::vector<TableRow> kept;
        for (const TableRow& row : problems.rows)
            if (!row.line && !row.file)
                kept.push_back(row);
        std::vector<TableRow> lines;
        for (const TableRow& row : problems.rows)
            if (row.line || row.file)
                lines.push_back(row);
        const std::size_t room = listed > kept.size() ? listed - kept.size() : 0;
        if (lines.size() > room)
            lines.resize(room);
        lines.insert(lines.end(), kept.begin(), kept.end());
        problems.title += QStringLiteral(" (the first %1 lines; the window lists all)").arg(room);
        problems.rows = lines;
    }
    page.table(problems);
}

void modelPages(PageWriter& page, const ModelResult& model, const ReportContext& context) {
    page.newPage();
    page.text(modelName(model.model), 16, true);
    page.table(bandTable(model, context.format));
    const auto charts = [&](std::initializer_list<ChartKind> kinds, double height) {
        std::vector<std::unique_ptr<QChart>> made;
        for (const ChartKind kind : kinds)
            made.push_back(makeChart(model, kind, QChart::ChartThemeLight, context.format, {},
                                     preferredTimeAxis(model)));
        page.charts(made, height);
    };
    charts({ChartKind::Calibration, ChartKind::Roc}, std::max(200.0, page.remaining() - 8));
    page.newPage();
    page.text(modelName(model.model) + QStringLiteral(": over time"), 16, true);
    const double height = (page.remaining() - 70) / 2; // leaves room for the signals
    charts({ChartKind::Vlad, ChartKind::Cusum}, height);
    charts({ChartKind::Histogram}, height);
    page.text(cusumReportText(model, context.format, preferredTimeAxis(model)), 8);
}
} // namespace

namespace {

QString fromView(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// One note per model, from the model table: name, equation, what it
// predicts, for whom, whether read or computed, and its source.
QString modelNote(Model model) {
    const riskmodels::RiskModel& entry = modelEntry(model);
    const QString source =
        isStoredModel(model)
            ? QStringLiteral("read from the file's %1 column").arg(fromView(entry.storedColumn))
            : QStringLiteral("computed from PHYS_TOTAL and OP_TOTAL");
    return QStringLiteral("%1: %2, R the risk of %3; fitted to %4; %5. %6. doi:%7")
        .arg(fromView(entry.title), QString::fromStdString(riskmodels::equationText(entry)),
             fromView(entry.outcome), fromView(entry.population), source, fromView(entry.citation),
             fromView(entry.doi));
}

} // namespace

QStringList methodNotes() {
    QStringList notes = {
        QStringLiteral(
            "Observed (O) is the number of episodes with the outcome; expected (E) is the sum of "
            "the predicted risks (linear analysis). O:E is their ratio, with exact Poisson 95% "
            "limits on O (Garwood 1936) divided by E. A row whose interval leaves out 1 says in "
            "words that there were more or fewer events than expected. Figures resting on fewer "
            "than 5 expected events are marked unreliable."),
        QStringLiteral("Risk bands hold predicted risks from above 0% to 10%, above 10% to 20%, "
                       "and so on; the first band also holds a risk of 0."),
        QStringLiteral(
            "AUROC is the probability that an episode with the outcome had a higher predicted "
            "risk than one without, ties counting one half; its 95% interval comes from DeLong's "
            "variance (DeLong et al. 1988)."),
        QStringLiteral(
            "HL p is the p value of the Hosmer-Lemeshow statistic over ten groups of equal size "
            "with 8 degrees of freedom (Hosmer and Lemeshow 1980); a small p value suggests the "
            "model is poorly calibrated for these patients."),
        QStringLiteral(
            "The calibration slope is that of a logistic regression of the outcome on the logit "
            "of the predicted risk (Cox 1958): 1 is ideal; below 1 the predictions are too "
            "extreme, above 1 too modest. The Brier score is the mean squared difference between "
            "predicted risk and outcome (Brier 1950)."),
        QStringLiteral(
            "The VLAD plots, in date order, the cumulative expected minus observed events: it "
            "rises when fewer events happen than predicted (Lovegrove et al. 1997)."),
        QStringLiteral(
            "The risk-adjusted CUSUM adds each episode's log-likelihood ratio for the odds of the "
            "outcome being multiplied by the chosen odds ratio, never falling below 0; on "
            "reaching the control limit it signals and starts again from 0 (Steiner et al. "
            "2000). Unless given, the limit is found by simulating the file's own risk mix for "
            "the chosen in-control average run length."),
        QStringLiteral("Models: PS is the Physiological score, OS the Operative severity score. "
                       "The RAAA-POSSUM equations were fitted to repairs of ruptured abdominal "
                       "aortic aneurysms and are not for elective vascular patients. An episode "
                       "whose PHYS_TOTAL or OP_TOTAL is 0 is left out of every model."),
    };
    for (const Model model : kAllModels)
        notes << modelNote(model);
    return notes;
}

namespace {

QStringList references() {
    return {
        QStringLiteral("Brier GW. Verification of forecasts expressed in terms of probability. "
                       "Monthly Weather Review 1950;78:1-3."),
        QStringLiteral("Cox DR. Two further applications of a model for binary regression. "
                       "Biometrika 1958;45:562-565."),
        QStringLiteral("DeLong ER, DeLong DM, Clarke-Pearson DL. Comparing the areas under two or "
                       "more correlated receiver operating characteristic curves: a "
                       "nonparametric approach. Biometrics 1988;44:837-845."),
        QStringLiteral("Garwood F. Fiducial limits for the Poisson distribution. Biometrika "
                       "1936;28:437-442."),
        QStringLiteral("Hosmer DW, Lemeshow S. Goodness of fit tests for the multiple logistic "
                       "regression model. Communications in Statistics - Theory and Methods "
                       "1980;9:1043-1069."),
        QStringLiteral("Lovegrove J, Valencia O, Treasure T, Sherlaw-Johnson C, Gallivan S. "
                       "Monitoring the results of cardiac surgery by variable life-adjusted "
                       "display. Lancet 1997;350:1128-1130."),
        QStringLiteral("Steiner SH, Cook RJ, Farewell VT, Treasure T. Monitoring surgical "
                       "performance using risk-adjusted cumulative sum charts. Biostatistics "
                       "2000;1:441-452."),
    };
}

} // namespace

int paintAuditReport(QPagedPaintDevice& device, const ReportContext& context) {
    device.setPageLayout(
        QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(0, 0, 0, 0)));
    QPainter painter;
    if (!painter.begin(&device))
        return 0;
    PageWriter page(
        device, painter,
        QStringLiteral("Audit report, %1, prepared %2")
            .arg(context.dateRange, context.generated.toString(QStringLiteral("d MMM yyyy"))));
    titlePage(page, context);
    problemsSection(page, context);
    for (const ModelResult& model : context.result.models)
        modelPages(page, model, context);
    page.newPage();
    page.text(QStringLiteral("Methods"), 16, true);
    for (const QString& note : methodNotes())
        page.text(note, 9);
    page.space(6);
    page.text(QStringLiteral("References"), 12, true);
    for (const QString& reference : references())
        page.text(reference, 8);
    const int pages = page.pages();
    painter.end();
    return pages;
}

} // namespace caldrin::auditwindow
