// SPDX-License-Identifier: GPL-3.0-or-later
#include "auditwindow/auditreportpages.h"
#include "auditwindow/modelnames.h"

#include "audit/completeness.h"
#include "auditwindow/methodnotes.h"
#include "auditwindow/modelpages.h"
#include "auditwindow/monthlycompleteness.h"
#include "auditwindow/pagewriter.h"
#include "auditwindow/updatetables.h"
#include "auditwindow/validationtables.h"

#include <QFileInfo>
#include <QPagedPaintDevice>
#include <QPainter>

#include <algorithm>
#include <memory>

namespace caldrin::auditwindow {

using namespace caldrin::audit;

namespace {

// Only the months under the complete share: they are what a meeting acts on,
// and a long audit's every month would take pages. The window lists them all.
void monthsToChase(PageWriter& page, const Completeness& completeness, const NumberFormat& format) {
    FigureTable months = monthlyCompletenessTable(completeness, format);
    const std::size_t all = months.rows.size();
    std::erase_if(months.rows, [](const TableRow& row) { return !row.unreliable; });
    if (months.rows.empty())
        return;
    months.title = QStringLiteral("Months with outcomes to chase: %1 of %2 months have under 95% "
                                  "of the due outcomes known")
                       .arg(months.rows.size())
                       .arg(all);
    page.table(months);
    page.text(QStringLiteral("Every month is on the window's Outcomes to complete page and in its "
                             "CSV export (Completeness by month)."),
              9);
}

constexpr double kProblemsListed = 40;

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
        monthsToChase(page, *completeness, context.format);
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

// Calibration and the models compared: the figures beyond O:E, for every
// model at once.
void validationSection(PageWriter& page, const ReportContext& context) {
    page.table(calibrationTable(context.result, context.format));
    page.table(comparisonTable(context.result, context.format));
    page.text(calibrationReading(), 8);
}

// The model updates added in the window, each measured as one more model on
// the episodes after its fit period.
void updatesSection(PageWriter& page, const ReportContext& context) {
    const FigureTable table =
        updateCheckTable(context.updates, context.format, NameLayout::Stacked);
    if (table.rows.empty())
        return;
    // The title with at least its first row: a title alone at a page's foot
    // says nothing.
    constexpr double kTitleAndFirstRow = 90;
    if (page.remaining() < kTitleAndFirstRow)
        page.newPage();
    page.table(table);
    for (const QString& note : updateCheckNotes(context.updates, context.format))
        page.text(note, 9);
    page.text(updateCheckReading(), 8);
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
    validationSection(page, context);
    updatesSection(page, context);
    for (std::size_t k = 0; k < context.result.models.size(); ++k)
        modelPages(page, k, context);
    page.newPage();
    page.text(QStringLiteral("Methods"), 16, true);
    for (const QString& note : methodNotes())
        page.text(note, 9);
    page.space(6);
    page.text(QStringLiteral("References"), 12, true);
    for (const QString& reference : methodReferences())
        page.text(reference, 8);
    const int pages = page.pages();
    painter.end();
    return pages;
}

} // namespace caldrin::auditwindow
