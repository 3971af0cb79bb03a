// SPDX-License-Identifier: GPL-3.0-or-later
#include "auditwindow/figures.h"
#include "auditwindow/modelnames.h"

#include "audit/auditreport.h"
#include "audit/text.h"

#include <algorithm>

namespace caldrin::auditwindow {

using namespace caldrin::audit;

namespace {

const QString kDash = QStringLiteral("\u2013");
const QChar kMinus(0x2212);
const QString kNotAvailable = QStringLiteral("n/a");

// CSV values as the window shows them (full precision is in the command
// line's JSON), with a full stop whatever the locale; empty when undefined.
QString rounded(double value, int decimals) {
    return csvNumber(value, decimals);
}
QString rounded(const std::optional<double>& value, int decimals) {
    return value ? rounded(*value, decimals) : QString();
}
QString yesNo(bool yes) {
    return yes ? QStringLiteral("yes") : QStringLiteral("no");
}

QString fromUtf8(const std::string& text) {
    return QString::fromUtf8(text);
}

QString bandName(const RiskBand& band) {
    return QStringLiteral("%1%2%3%")
        .arg(qRound(band.from * 100))
        .arg(kDash)
        .arg(qRound(band.to * 100));
}

QString unreliableNote(Outcome outcome) {
    return QStringLiteral("unreliable: fewer than 5 %1 expected").arg(eventsWord(outcome));
}

QString withUnreliable(const QString& text, bool unreliable) {
    return unreliable ? text + QStringLiteral(", unreliable") : text;
}

// Observed against expected as shown: O:E and its interval, or why there is none.
QString ratioCell(const ObservedExpected& figures, const NumberFormat& format) {
    if (!figures.ratio)
        return kNotAvailable;
    return withUnreliable(format.withInterval(*figures.ratio, figures.interval, 2),
                          figures.unreliable);
}

const QStringList kRatioCsvHeaders = {QStringLiteral("n"),
                                      QStringLiteral("Observed"),
                                      QStringLiteral("Expected"),
                                      QStringLiteral("O:E"),
                                      QStringLiteral("O:E lower 95% limit"),
                                      QStringLiteral("O:E upper 95% limit"),
                                      QStringLiteral("O:E unreliable")};

void addRatioCsv(QStringList& row, const ObservedExpected& figures) {
    row << QString::number(figures.n) << QString::number(figures.observed)
        << rounded(figures.expected, 2) << rounded(figures.ratio, 2)
        << (figures.interval ? rounded(figures.interval->lower, 2) : QString())
        << (figures.interval ? rounded(figures.interval->upper, 2) : QString())
        << yesNo(figures.unreliable);
}

} // namespace

QString csvNumber(double value, int decimals) {
    QString text = QString::number(value, 'f', decimals);
    // A value that rounds to zero shows no sign.
    if (text.startsWith(QLatin1Char('-')) && std::none_of(text.cbegin(), text.cend(), [](QChar c) {
            return c >= QLatin1Char('1') && c <= QLatin1Char('9');
        }))
        text.remove(0, 1);
    return text;
}

QString NumberFormat::number(double value, int decimals) const {
    QString text = csvNumber(value, decimals);
    if (text.startsWith(QLatin1Char('-')))
        text[0] = kMinus;
    if (separator_ != QLatin1Char('.'))
        text.replace(QLatin1Char('.'), separator_);
    return text;
}

QString NumberFormat::withInterval(double value, const std::optional<Interval>& interval,
                                   int decimals) const {
    QString text = number(value, decimals);
    if (interval)
        text += QStringLiteral(" (%1)").arg(range(*interval, decimals));
    return text;
}

QString NumberFormat::range(const Interval& interval, int decimals) const {
    const QString lower = number(interval.lower, decimals);
    const QString upper = number(interval.upper, decimals);
    const bool negative = lower.startsWith(kMinus) || upper.startsWith(kMinus);
    return lower + (negative ? QStringLiteral(" to ") : kDash) + upper;
}

QString NumberFormat::pValue(double p) const {
    if (p < 0.001)
        return QStringLiteral("< ") + number(0.001, 3);
    return number(p, 3);
}

QString countOf(std::uint64_t count, const char* one, const char* many) {
    return QStringLiteral("%1 %2").arg(count).arg(QLatin1String(count == 1 ? one : many));
}

Finding findingOf(const ObservedExpected& figures) {
    if (!figures.ratio || !figures.interval)
        return Finding::None;
    if (figures.interval->lower > 1.0)
        return Finding::MoreThanExpected;
    if (figures.interval->upper < 1.0)
        return Finding::FewerThanExpected;
    return Finding::AsExpected;
}

QString eventsWord(Outcome outcome) {
    return outcome == Outcome::Mortality ? QStringLiteral("deaths")
                                         : QStringLiteral("complications");
}

QString findingText(const ObservedExpected& figures, Outcome outcome, const NumberFormat& format) {
    const QString events = eventsWord(outcome);
    QString text;
    switch (findingOf(figures)) {
    case Finding::None:
        return figures.n == 0 ? QStringLiteral("no episodes")
                              : QStringLiteral("no %1 expected").arg(events);
    case Finding::MoreThanExpected:
        text = QStringLiteral("more %1 than expected").arg(events);
        break;
    case Finding::FewerThanExpected:
        text = QStringLiteral("fewer %1 than expected").arg(events);
        break;
    case Finding::AsExpected:
        text = QStringLiteral("no clear difference from expected");
        break;
    }
    text += QStringLiteral(": O:E ") + format.withInterval(*figures.ratio, figures.interval, 2);
    if (figures.unreliable)
        text += QStringLiteral("; ") + unreliableNote(outcome);
    return text;
}

QString FigureTable::asText() const {
    QStringList lines{title};
    for (const TableRow& row : rows) {
        QStringList pairs;
        for (qsizetype c = 0; c < row.cells.size() && c < headers.size(); ++c)
            pairs << headers[c] + QStringLiteral(": ") + row.cells[c];
        lines << pairs.join(QStringLiteral("; "));
    }
    return lines.join(QLatin1Char('\n'));
}

FigureTable completenessTable(const Completeness& completeness, const NumberFormat& format) {
    FigureTable table;
    table.title = QStringLiteral("Completeness of follow-up");
    table.headers = {QStringLiteral("Outcome"),
                     QStringLiteral("Known"),
                     QStringLiteral("Unknown, due"),
                     QStringLiteral("Of those, no readable date"),
                     QStringLiteral("Unknown, not yet due"),
                     QStringLiteral("Known of due")};
    table.csvHeaders = table.headers;
    for (const Outcome outcome : {Outcome::Mortality, Outcome::Morbidity}) {
        const OutcomeCompleteness& o = completeness.outcomes[outcome == Outcome::Morbidity ? 0 : 1];
        const CompletenessCounts& c = o.overall;
        const std::optional<double> share = c.knownShareOfDue();
        TableRow row;
        row.unreliable = o.incomplete();
        row.cells = {outcome == Outcome::Mortality ? QStringLiteral("Mortality")
                                                   : QStringLiteral("Morbidity"),
                     format.count(c.known()),
                     format.count(c.unknownDue),
                     format.count(c.unknownNoDate),
                     format.count(c.unknownNotDue),
                     share ? format.number(*share * 100, 1) + QStringLiteral("%")
                           : QStringLiteral("none due")};
        table.csvRows.push_back(row.cells);
        table.rows.push_back(row);
    }
    return table;
}

FigureTable summaryTable(const AnalysisResult& result, Outcome outcome,
                         const NumberFormat& format) {
    FigureTable table;
    table.title =
        outcome == Outcome::Mortality ? QStringLiteral("Mortality") : QStringLiteral("Morbidity");
    table.headers = {QStringLiteral("Model"),        QStringLiteral("n"),
                     QStringLiteral("Observed"),     QStringLiteral("Expected"),
                     QStringLiteral("O:E (95% CI)"), QStringLiteral("AUROC (95% CI)"),
                     QStringLiteral("HL p"),         QStringLiteral("Calibration slope"),
                     QStringLiteral("Brier"),        QStringLiteral("Finding")};
    table.csvHeaders = QStringList{QStringLiteral("Model")} + kRatioCsvHeaders +
                       QStringList{QStringLiteral("AUROC"),
                                   QStringLiteral("AUROC lower 95% limit"),
                                   QStringLiteral("AUROC upper 95% limit"),
                                   QStringLiteral("AUROC unreliable"),
                                   QStringLiteral("Hosmer-Lemeshow chi-square"),
                                   QStringLiteral("Hosmer-Lemeshow p"),
                                   QStringLiteral("Hosmer-Lemeshow unreliable"),
                                   QStringLiteral("Recalibration intercept"),
                                   QStringLiteral("Calibration slope"),
                                   QStringLiteral("Brier score"),
                                   QStringLiteral("Left out: outcome not recorded"),
                                   QStringLiteral("Left out: scores not entered"),
                                   QStringLiteral("Finding")};
    for (const ModelResult& model : result.models) {
        if (model.outcome != outcome)
            continue;
        const ObservedExpected& oe = model.overall;
        const Discrimination& roc = model.discrimination;
        const HosmerLemeshow& hl = model.hosmerLemeshow;
        TableRow row;
        row.finding = findingOf(oe);
        row.unreliable = oe.unreliable;
        const QString auroc =
            roc.auroc
                ? withUnreliable(format.withInterval(*roc.auroc, roc.interval, 3), roc.unreliable)
                : kNotAvailable;
        const QString hlP =
            hl.pValue ? withUnreliable(format.pValue(*hl.pValue), hl.unreliable) : kNotAvailable;
        const QString slope =
            model.calibration.slope ? format.number(*model.calibration.slope, 2) : kNotAvailable;
        const QString brier = model.brier ? format.number(*model.brier, 4) : kNotAvailable;
        const QString finding = findingText(oe, outcome, format);
        row.cells = {modelName(model.model),
                     format.count(oe.n),
                     format.count(oe.observed),
                     format.number(oe.expected, 2),
                     ratioCell(oe, format),
                     auroc,
                     hlP,
                     slope,
                     brier,
                     finding};
        row.notes = {
            QString(),
            QString(),
            QString(),
            QString(),
            oe.unreliable ? unreliableNote(outcome) : QString(),
            !roc.auroc ? QStringLiteral("needs episodes with and without the outcome")
            : roc.unreliable
                ? QStringLiteral("unreliable: fewer than 5 episodes with or without the outcome")
                : QString(),
            !hl.pValue      ? QStringLiteral("needs at least 10 episodes")
            : hl.unreliable ? QStringLiteral("unreliable: a group expects fewer than 5 events")
                            : QString(),
            !model.calibration.slope ? fromUtf8(model.calibration.missing) : QString()};
        table.rows.push_back(row);

        QStringList csv{modelName(model.model)};
        addRatioCsv(csv, oe);
        csv << rounded(roc.auroc, 3) << (roc.interval ? rounded(roc.interval->lower, 3) : QString())
            << (roc.interval ? rounded(roc.interval->upper, 3) : QString()) << yesNo(roc.unreliable)
            << rounded(hl.chiSquare, 2)
            << (!hl.pValue           ? QString()
                : *hl.pValue < 0.001 ? QStringLiteral("<0.001")
                                     : rounded(*hl.pValue, 3))
            << yesNo(hl.unreliable) << rounded(model.calibration.intercept, 2)
            << rounded(model.calibration.slope, 2) << rounded(model.brier, 4)
            << QString::number(model.excludedUnknownOutcome)
            << QString::number(model.excludedNotScored) << finding;
        table.csvRows.push_back(csv);
    }
    return table;
}

FigureTable bandTable(const ModelResult& model, const NumberFormat& format) {
    FigureTable table;
    table.title = QStringLiteral("Risk bands: ") + modelName(model.model);
    table.headers = {QStringLiteral("Predicted risk"), QStringLiteral("n"),
                     QStringLiteral("Observed"),       QStringLiteral("Expected"),
                     QStringLiteral("O:E (95% CI)"),   QStringLiteral("Finding")};
    table.csvHeaders = QStringList{QStringLiteral("Model"), QStringLiteral("Predicted risk from %"),
                                   QStringLiteral("Predicted risk to %")} +
                       kRatioCsvHeaders + QStringList{QStringLiteral("Finding")};
    for (const RiskBand& band : model.bands) {
        TableRow row;
        row.finding = findingOf(band.figures);
        row.unreliable = band.figures.unreliable;
        row.cells = {bandName(band),
                     format.count(band.figures.n),
                     format.count(band.figures.observed),
                     format.number(band.figures.expected, 2),
                     ratioCell(band.figures, format),
                     findingText(band.figures, model.outcome, format)};
        table.rows.push_back(row);
        QStringList csv{modelName(model.model), QString::number(qRound(band.from * 100)),
                        QString::number(qRound(band.to * 100))};
        addRatioCsv(csv, band.figures);
        csv << row.cells.constLast();
        table.csvRows.push_back(csv);
    }
    return table;
}

std::uint64_t refusedFiles(const AuditData& data) {
    std::uint64_t refused = 0;
    for (const FileSummary& file : data.files())
        if (!file.sameFileAs && (!file.opened || file.kind != FileKind::AuditData))
            ++refused;
    return refused;
}

QString refusedFilesNote(const AuditData& data) {
    const std::uint64_t refused = refusedFiles(data);
    return refused ? QStringLiteral("; %1 refused (see Problems and exclusions)")
                         .arg(countOf(refused, "file", "files"))
                   : QString();
}

FigureTable problemTable(const AuditData& data, const AnalysisResult& result) {
    FigureTable table;
    table.title = QStringLiteral("Reading problems and exclusions");
    table.headers = {QStringLiteral("File"), QStringLiteral("Line"), QStringLiteral("Problem")};
    table.csvHeaders = table.headers;
    auto add = [&](std::optional<std::size_t> file, std::uint64_t line, const QString& text) {
        TableRow row;
        const QString path = file ? fromUtf8(data.files()[*file].path) : QString();
        const QString lineText = line ? QString::number(line) : QString();
        row.cells = {path, lineText, text};
        row.file = file;
        row.line = line;
        table.rows.push_back(row);
        table.csvRows.push_back({path, lineText, text});
    };
    for (std::size_t f = 0; f < data.files().size(); ++f) {
        const FileSummary& file = data.files()[f];
        if (file.sameFileAs)
            add(f, 0,
                QStringLiteral("the same file as %1, which is read once; this repeat was not read")
                    .arg(QString::fromUtf8(data.files()[*file.sameFileAs].path)));
        else if (!file.opened)
            add(f, 0, QStringLiteral("could not be read: ") + fromUtf8(file.openError));
        else if (file.kind != FileKind::AuditData)
            add(f, 0, fromUtf8(fileKindText(file.kind)));
        // Every line of a file that is no audit data file would be a problem:
        // the sentence above says it once.
        if (file.kind != FileKind::AuditData)
            continue;
        for (const ReadingProblem& problem : file.problems)
            add(f, problem.line,
                fromUtf8(problem.reason) +
                    (problem.skipped ? QStringLiteral(" (line skipped)")
                                     : QStringLiteral(" (figures used, identity not trusted)")));
        if (file.problemsNotKept)
            add(f, 0,
                QStringLiteral("and %1 more lines with problems, not listed")
                    .arg(file.problemsNotKept));
    }
    if (data.mergedRecords())
        add(std::nullopt, 0,
            QStringLiteral("%1 records replaced by a later record of the same episode")
                .arg(data.mergedRecords()));
    if (data.unparseableDates())
        add(std::nullopt, 0,
            QStringLiteral("%1 episodes with a date of procedure that cannot be read")
                .arg(data.unparseableDates()));
    if (result.outsideDateRange)
        add(std::nullopt, 0,
            QStringLiteral("%1 episodes outside the date range").arg(result.outsideDateRange));
    if (result.undatedLeftOut)
        add(std::nullopt, 0,
            QStringLiteral("%1 episodes without a readable date left out of the date range")
                .arg(result.undatedLeftOut));
    for (const ModelResult& model : result.models) {
        if (model.excludedUnknownOutcome)
            add(std::nullopt, 0,
                QStringLiteral("%1: %2 episodes left out, outcome not recorded as 0 or 1")
                    .arg(modelName(model.model))
                    .arg(model.excludedUnknownOutcome));
        if (model.excludedNotScored)
            add(std::nullopt, 0,
                QStringLiteral("%1: %2 episodes left out, scores not entered")
                    .arg(modelName(model.model))
                    .arg(model.excludedNotScored));
    }
    return table;
}

QByteArray csvText(const FigureTable& table, const QString& dateRange) {
    auto field = [](const QString& text) {
        return QString::fromStdString(audit::spreadsheetTextCell(text.toStdString()));
    };
    auto line = [&](const QStringList& fields) {
        QStringList out;
        for (const QString& f : fields)
            out << field(f);
        return out.join(QLatin1Char(',')) + QStringLiteral("\r\n");
    };
    // Every table says which dates it covers, whichever file it ends up in.
    const bool dated = !dateRange.isEmpty();
    QString text =
        line(dated ? QStringList{QStringLiteral("Dates")} + table.csvHeaders : table.csvHeaders);
    for (const QStringList& row : table.csvRows)
        text += line(dated ? QStringList{dateRange} + row : row);
    // The byte-order mark tells spreadsheet programs the text is UTF-8, so
    // that dashes and accents arrive intact.
    return QByteArrayLiteral("\xEF\xBB\xBF") + text.toUtf8();
}

} // namespace caldrin::auditwindow
