// SPDX-License-Identifier: GPL-3.0-or-later
#include "auditwindow/monthlycompleteness.h"

#include <QDate>

namespace caldrin::auditwindow {

using namespace caldrin::audit;

namespace {

// "12 of 14 (85.7%)", or "none due".
QString knownOfDue(const CompletenessCounts& counts, const NumberFormat& format) {
    const std::optional<double> share = counts.knownShareOfDue();
    if (!share)
        return QStringLiteral("none due");
    return QStringLiteral("%1 of %2 (%3%)")
        .arg(format.count(counts.knownDue), format.count(counts.due()),
             format.number(*share * 100, 1));
}

bool belowCompleteShare(const CompletenessCounts& counts) {
    const std::optional<double> share = counts.knownShareOfDue();
    return share && *share < kCompleteShare;
}

} // namespace

FigureTable monthlyCompletenessTable(const Completeness& completeness, const NumberFormat& format) {
    const std::vector<MonthCompleteness>& morbidity = completeness.outcomes[0].byMonth;
    const std::vector<MonthCompleteness>& mortality = completeness.outcomes[1].byMonth;
    FigureTable table;
    table.title = QStringLiteral("Completeness of follow-up by month of procedure");
    table.headers = {QStringLiteral("Month"), QStringLiteral("Mortality: known of due"),
                     QStringLiteral("Morbidity: known of due"), QStringLiteral("Finding")};
    table.csvHeaders = {QStringLiteral("Month"),
                        QStringLiteral("Mortality known of due"),
                        QStringLiteral("Mortality due"),
                        QStringLiteral("Mortality known share of due (%)"),
                        QStringLiteral("Morbidity known of due"),
                        QStringLiteral("Morbidity due"),
                        QStringLiteral("Morbidity known share of due (%)"),
                        QStringLiteral("Under 95% known")};
    // Files take a full stop whatever the desktop's decimal separator.
    const auto shareCell = [](const CompletenessCounts& counts) {
        const std::optional<double> share = counts.knownShareOfDue();
        return share ? NumberFormat().number(*share * 100, 1) : QString();
    };
    // Both outcomes count the same episodes, so they have the same months.
    for (std::size_t m = 0; m < mortality.size() && m < morbidity.size(); ++m) {
        const CompletenessCounts& died = mortality[m].counts;
        const CompletenessCounts& complication = morbidity[m].counts;
        const QString month =
            QDate(mortality[m].year, mortality[m].month, 1).toString(QStringLiteral("MMM yyyy"));
        TableRow row;
        row.unreliable = belowCompleteShare(died) || belowCompleteShare(complication);
        row.cells = {month, knownOfDue(died, format), knownOfDue(complication, format),
                     row.unreliable ? QStringLiteral("under 95% known: outcomes to chase")
                                    : QString()};
        table.rows.push_back(row);
        table.csvRows.push_back({QStringLiteral("%1-%2")
                                     .arg(mortality[m].year, 4, 10, QLatin1Char('0'))
                                     .arg(mortality[m].month, 2, 10, QLatin1Char('0')),
                                 format.count(died.knownDue), format.count(died.due()),
                                 shareCell(died), format.count(complication.knownDue),
                                 format.count(complication.due()), shareCell(complication),
                                 row.unreliable ? QStringLiteral("yes") : QStringLiteral("no")});
    }
    return table;
}

} // namespace caldrin::auditwindow
