// SPDX-License-Identifier: GPL-3.0-or-later
#include "auditwindow/updatetables.h"
#include "auditwindow/modelnames.h"

#include "audit/dates.h"
#include "auditwindow/filterbar.h"

namespace caldrin::auditwindow {

using namespace caldrin::audit;

namespace {

const QString kNotAvailable = QStringLiteral("n/a");

QString dateText(const Date& date) {
    return qDateOf(dayNumber(date)).toString(QStringLiteral("d MMM yyyy"));
}

QString shown(const std::optional<double>& value, const std::optional<Interval>& interval,
              int decimals, const NumberFormat& format) {
    return value ? format.withInterval(*value, interval, decimals) : kNotAvailable;
}

// "Left out: 2 episodes used to fit it (dated within its fit period), 1 dated
// before it, 0 without a readable date."
QString leftOutText(const UpdateValidation& c) {
    QString text = QStringLiteral("Left out: %1 used to fit it (dated within its fit period), %2 "
                                  "dated before it, %3 without a readable date")
                       .arg(countOf(c.usedToFit, "episode", "episodes"))
                       .arg(c.beforeFitPeriod)
                       .arg(c.undated);
    if (c.outsideDateRange > 0)
        text += QStringLiteral(", %1 after it but outside the date range").arg(c.outsideDateRange);
    return text + QLatin1Char('.');
}

} // namespace

namespace {

// The name's three parts: model, unit, fit period.
QStringList nameParts(const UpdateValidation& check) {
    const modelupdate::ModelUpdate& u = *check.update;
    return {modelName(check.model),
            QStringLiteral("updated on ") +
                (u.unit.empty() ? QStringLiteral("an unnamed unit") : QString::fromUtf8(u.unit)),
            QStringLiteral("%1 to %2").arg(dateText(u.from), dateText(u.to))};
}

QString methodText(const UpdateValidation& check) {
    return QString::fromLatin1(modelupdate::methodTitle(check.update->method));
}

} // namespace

QString updateName(const UpdateValidation& check) {
    return check.update ? nameParts(check).join(QStringLiteral(", "))
                        : QString::fromUtf8(check.path);
}

FigureTable updateCheckTable(const std::vector<UpdateValidation>& checks,
                             const NumberFormat& format, NameLayout layout) {
    const bool stacked = layout == NameLayout::Stacked;
    FigureTable table;
    table.title = QStringLiteral("Updated models, checked on the episodes after their fit period "
                                 "(95% intervals in brackets)");
    table.headers = {QStringLiteral("Updated model"),
                     QStringLiteral("Method"),
                     QStringLiteral("n"),
                     QStringLiteral("Observed"),
                     QStringLiteral("Expected"),
                     QStringLiteral("O:E"),
                     QStringLiteral("AUROC"),
                     QStringLiteral("Calibration-in-the-large"),
                     QStringLiteral("Calibration slope"),
                     QStringLiteral("Brier")};
    for (const UpdateValidation& c : checks) {
        if (!c.update)
            continue;
        const ObservedExpected& o = c.overall;
        const Calibration& cal = c.calibration;
        TableRow row;
        row.finding = findingOf(o);
        row.unreliable = o.n > 0 && (o.unreliable || c.fewEvents);
        row.cells = {stacked ? nameParts(c).join(QStringLiteral(",\n")) + QStringLiteral("\n(") +
                                   methodText(c) + QLatin1Char(')')
                             : updateName(c),
                     methodText(c),
                     format.count(o.n),
                     format.count(o.observed),
                     o.n > 0 ? format.number(o.expected, 1) : kNotAvailable,
                     shown(o.ratio, o.interval, 2, format),
                     shown(c.discrimination.auroc, c.discrimination.interval, 3, format),
                     shown(cal.inTheLarge, cal.inTheLargeInterval, 2, format),
                     shown(cal.slope, cal.slopeInterval, 2, format),
                     c.brier ? format.number(*c.brier, 4) : kNotAvailable};
        if (stacked)
            row.cells.removeAt(1);
        table.rows.push_back(std::move(row));
    }
    if (stacked)
        table.headers.removeAt(1);
    return table;
}

QStringList updateCheckNotes(const std::vector<UpdateValidation>& checks,
                             const NumberFormat& format) {
    QStringList notes;
    for (const UpdateValidation& c : checks) {
        if (!c.update)
            continue;
        QStringList sentences{
            QStringLiteral("%1: %2, from %3.")
                .arg(updateName(c), QString::fromLatin1(modelupdate::methodTitle(c.update->method)),
                     QString::fromUtf8(c.path)),
            leftOutText(c)};
        const ObservedExpected& o = c.overall;
        if (o.n == 0) {
            sentences << QStringLiteral("No episode after the fit period: nothing to check it on "
                                        "yet.");
        } else {
            QString finding = findingText(o, modelOutcome(c.model), format);
            finding[0] = finding[0].toUpper();
            sentences << finding + QLatin1Char('.');
            const Calibration& cal = c.calibration;
            if (!cal.inTheLarge && !cal.inTheLargeMissing.empty())
                sentences << QStringLiteral("No calibration-in-the-large: %1.")
                                 .arg(QString::fromUtf8(cal.inTheLargeMissing));
            if (!cal.slope && !cal.missing.empty())
                sentences << QStringLiteral("No calibration slope: %1.")
                                 .arg(QString::fromUtf8(cal.missing));
            if (c.fewEvents)
                sentences << QStringLiteral("Fewer than %1 episodes with, or without, the "
                                            "outcome: every figure is imprecise.")
                                 .arg(kFewEvents);
        }
        notes << sentences.join(QLatin1Char(' '));
    }
    return notes;
}

QString updateCheckReading() {
    return QStringLiteral(
        "Each update is measured as one more model, with its updated risks, on the episodes "
        "dated after its fit period within the date range: episodes it was fitted on would "
        "flatter it. Calibration-in-the-large near 0 and a slope near 1 say the update still "
        "fits this unit. A recalibration (with a positive slope) ranks patients as the model it "
        "updates does, so its AUROC is that model's on the same episodes; only a revision can "
        "change it.");
}

} // namespace caldrin::auditwindow
