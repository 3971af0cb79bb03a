// SPDX-License-Identifier: GPL-3.0-or-later
#include "auditwindow/validationtables.h"
#include "auditwindow/modelnames.h"

namespace caldrin::auditwindow {

using namespace caldrin::audit;

namespace {

const QString kNotAvailable = QStringLiteral("n/a");

// CSV values rounded as shown, with a full stop; empty when undefined.
QString rounded(const std::optional<double>& value, int decimals) {
    return value ? csvNumber(*value, decimals) : QString();
}

QString shown(const std::optional<double>& value, const std::optional<Interval>& interval,
              int decimals, const NumberFormat& format) {
    return value ? format.withInterval(*value, interval, decimals) : kNotAvailable;
}

void addWithInterval(QStringList& csv, const std::optional<double>& value,
                     const std::optional<Interval>& interval, int decimals) {
    csv << rounded(value, decimals) << (interval ? rounded(interval->lower, decimals) : QString())
        << (interval ? rounded(interval->upper, decimals) : QString());
}

QStringList withLimits(const QString& name) {
    return {name, name + QStringLiteral(" lower 95% limit"),
            name + QStringLiteral(" upper 95% limit")};
}

QString fromUtf8(const std::string& text) {
    return QString::fromUtf8(text);
}

// Why figures are missing, and that few events make the rest imprecise.
QString calibrationNote(const ModelResult& model) {
    QStringList notes;
    const Calibration& c = model.calibration;
    if (!c.inTheLarge && !c.inTheLargeMissing.empty())
        notes << QStringLiteral("no calibration-in-the-large: ") + fromUtf8(c.inTheLargeMissing);
    if (!c.slope && !c.missing.empty())
        notes << QStringLiteral("no recalibration intercept or slope: ") + fromUtf8(c.missing);
    if (!model.calibrationCurve.ici && !model.calibrationCurve.missing.empty())
        notes << QStringLiteral("no flexible curve: ") + fromUtf8(model.calibrationCurve.missing);
    if (model.overall.n > 0 && model.fewEvents)
        notes << QStringLiteral("imprecise: fewer than %1 episodes with, or without, the %2")
                     .arg(kFewEvents)
                     .arg(model.outcome == Outcome::Mortality ? QStringLiteral("death")
                                                              : QStringLiteral("complication"));
    return notes.join(QStringLiteral("; "));
}

} // namespace

FigureTable calibrationTable(const AnalysisResult& result, const NumberFormat& format) {
    FigureTable table;
    table.title = QStringLiteral("Calibration (95% intervals in brackets)");
    table.headers = {QStringLiteral("Model"),
                     QStringLiteral("n"),
                     QStringLiteral("Calibration-in-the-large"),
                     QStringLiteral("Recalibration intercept"),
                     QStringLiteral("Calibration slope"),
                     QStringLiteral("ICI"),
                     QStringLiteral("E50"),
                     QStringLiteral("E90"),
                     QStringLiteral("Emax"),
                     QStringLiteral("Note")};
    table.csvHeaders =
        QStringList{QStringLiteral("Model"), QStringLiteral("n")} +
        withLimits(QStringLiteral("Calibration-in-the-large")) +
        withLimits(QStringLiteral("Recalibration intercept")) +
        withLimits(QStringLiteral("Calibration slope")) +
        QStringList{QStringLiteral("ICI"),  QStringLiteral("E50"),        QStringLiteral("E90"),
                    QStringLiteral("Emax"), QStringLiteral("Few events"), QStringLiteral("Note")};
    for (const ModelResult& model : result.models) {
        const Calibration& c = model.calibration;
        const CalibrationCurve& curve = model.calibrationCurve;
        auto curveFigure = [&](const std::optional<double>& value) {
            return value ? format.number(*value, 3) : kNotAvailable;
        };
        TableRow row;
        row.unreliable = model.fewEvents;
        row.cells = {modelName(model.model),
                     format.count(model.overall.n),
                     shown(c.inTheLarge, c.inTheLargeInterval, 2, format),
                     shown(c.intercept, c.interceptInterval, 2, format),
                     shown(c.slope, c.slopeInterval, 2, format),
                     curveFigure(curve.ici),
                     curveFigure(curve.e50),
                     curveFigure(curve.e90),
                     curveFigure(curve.emax),
                     calibrationNote(model)};
        table.rows.push_back(row);

        QStringList csv{modelName(model.model), QString::number(model.overall.n)};
        addWithInterval(csv, c.inTheLarge, c.inTheLargeInterval, 2);
        addWithInterval(csv, c.intercept, c.interceptInterval, 2);
        addWithInterval(csv, c.slope, c.slopeInterval, 2);
        csv << rounded(curve.ici, 3) << rounded(curve.e50, 3) << rounded(curve.e90, 3)
            << rounded(curve.emax, 3)
            << (model.fewEvents ? QStringLiteral("yes") : QStringLiteral("no"))
            << row.cells.constLast();
        table.csvRows.push_back(csv);
    }
    return table;
}

FigureTable comparisonTable(const AnalysisResult& result, const NumberFormat& format) {
    FigureTable table;
    table.title = QStringLiteral("AUROCs compared (paired DeLong test)");
    table.headers = {QStringLiteral("Models"),
                     QStringLiteral("n"),
                     QStringLiteral("Difference in AUROC (95% CI)"),
                     QStringLiteral("z"),
                     QStringLiteral("p"),
                     QStringLiteral("Note")};
    table.csvHeaders =
        QStringList{QStringLiteral("First model"), QStringLiteral("Second model"),
                    QStringLiteral("n")} +
        withLimits(QStringLiteral("Difference in AUROC")) +
        QStringList{QStringLiteral("z"), QStringLiteral("p"), QStringLiteral("Note")};
    for (const AurocComparison& c : result.aurocComparisons) {
        TableRow row;
        row.cells = {modelName(c.first) + QStringLiteral(" against ") + modelName(c.second),
                     format.count(c.n),
                     shown(c.difference, c.interval, 3, format),
                     c.z ? format.number(*c.z, 2) : kNotAvailable,
                     c.p ? format.pValue(*c.p) : kNotAvailable,
                     fromUtf8(c.missing)};
        table.rows.push_back(row);
        QStringList csv{modelName(c.first), modelName(c.second), QString::number(c.n)};
        addWithInterval(csv, c.difference, c.interval, 3);
        csv << rounded(c.z, 2)
            << (!c.p           ? QString()
                : *c.p < 0.001 ? QStringLiteral("<0.001")
                               : rounded(c.p, 3))
            << fromUtf8(c.missing);
        table.csvRows.push_back(csv);
    }
    return table;
}

QString calibrationReading() {
    return QStringLiteral(
        "Calibration-in-the-large is 0 when as many events occur as the model predicts (above 0: "
        "more occur, on the log-odds scale); the recalibration intercept belongs with the "
        "calibration slope, which is 1 when the spread of the risks is right and below 1 when "
        "they are too extreme. ICI is the mean distance between the flexible calibration curve "
        "and the diagonal, in risk (0.01 is one percentage point); E50, E90 and Emax are its "
        "median, 90th percentile and largest. HL p, the Hosmer-Lemeshow test, is a legacy test "
        "whose verdict depends on the number of episodes: a large audit finds trivial misfit, a "
        "small one misses large misfit. A difference in AUROC whose interval leaves out 0 means "
        "one model ranks these patients better than the other.");
}

} // namespace caldrin::auditwindow
