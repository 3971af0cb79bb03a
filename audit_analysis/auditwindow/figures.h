// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The analysis as tables of text: what the window shows, what the PDF report
// prints and what CSV export writes. Kept apart from the widgets so that the
// screen, paper and files always say the same thing.

#include "audit/auditanalysis.h"

#include <QChar>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace caldrin::auditwindow {

// Numbers for people: fixed decimals with the user's decimal separator, a
// true minus sign (U+2212) and never a negative zero: -0.0004 to three
// decimals is "0.000", as is 0.0004.
class NumberFormat {
public:
    explicit NumberFormat(QChar decimalSeparator = QLatin1Char('.'))
        : separator_(decimalSeparator) {}
    QString number(double value, int decimals) const;
    QString count(std::uint64_t value) const { return QString::number(value); }
    // "1.05–1.88"; "−1.17 to −0.89" when a bound is negative, where a dash
    // would read as one more minus.
    QString range(const audit::Interval& interval, int decimals) const;
    // "1.42 (1.05–1.88)"
    QString withInterval(double value, const std::optional<audit::Interval>& interval,
                         int decimals) const;
    QString pValue(double p) const; // "< 0.001" below a thousandth

private:
    QChar separator_;
};

// A number for CSV files: fixed decimals, a full stop and an ASCII minus
// whatever the locale, never a negative zero.
QString csvNumber(double value, int decimals);

// "1 episode", "2 episodes".
QString countOf(std::uint64_t count, const char* one, const char* many);

// How a row's observed count compares with its expected count, judged by
// whether the 95% interval of O:E leaves out 1.
enum class Finding { None, AsExpected, MoreThanExpected, FewerThanExpected };

Finding findingOf(const audit::ObservedExpected& figures);
// "deaths" or "complications".
QString eventsWord(audit::Outcome outcome);
// "more deaths than expected: O:E 1.42 (1.05–1.88)", "no clear difference
// from expected: ...", with the unreliability said in words too.
QString findingText(const audit::ObservedExpected& figures, audit::Outcome outcome,
                    const NumberFormat& format);

struct TableRow {
    QStringList cells; // as shown
    QStringList notes; // per cell, why a figure is missing or unreliable (may be shorter)
    Finding finding = Finding::None;
    bool unreliable = false;
    // A problem row that points into a file.
    std::optional<std::size_t> file;
    std::uint64_t line = 0;
};

// A table as shown, and the same figures as values for CSV (rounded as shown,
// full stop, intervals in columns of their own, "yes"/"no", empty where a
// figure is undefined).
struct FigureTable {
    QString title;
    QStringList headers;
    std::vector<TableRow> rows;
    QStringList csvHeaders;
    std::vector<QStringList> csvRows;

    // Every row as "header: cell" pairs, for assistive technology and tests.
    QString asText() const;
};

// How complete follow-up is: a row per outcome (mortality first) with the
// episodes whose outcome is known, unknown and due, unknown and not yet due,
// and the share of due episodes whose outcome is known.
FigureTable completenessTable(const audit::Completeness& completeness, const NumberFormat& format);

// One table per outcome, a row per model of that outcome.
FigureTable summaryTable(const audit::AnalysisResult& result, audit::Outcome outcome,
                         const NumberFormat& format);
// The ten risk bands of one model.
FigureTable bandTable(const audit::ModelResult& model, const NumberFormat& format);
// Files that could not be opened, reading problems with their lines, and
// what the analysis left out.
FigureTable problemTable(const audit::AuditData& data, const audit::AnalysisResult& result);

// Files given that were not read as audit data: could not be opened, not
// text, or text without audit records (empty, UTF-16, other columns). A file
// given twice is read once and its repeat is not counted.
std::uint64_t refusedFiles(const audit::AuditData& data);
// "; 2 files refused (see Problems and exclusions)", or empty when none was.
QString refusedFilesNote(const audit::AuditData& data);

// RFC 4180: fields quoted when they hold a comma, quote or line break; CRLF
// line ends; UTF-8 with a byte-order mark. With `dateRange` ("all dates",
// "1 Jan 2024 to 31 Dec 2024") every row starts with it, under "Dates".
QByteArray csvText(const FigureTable& table, const QString& dateRange = {});

} // namespace caldrin::auditwindow
