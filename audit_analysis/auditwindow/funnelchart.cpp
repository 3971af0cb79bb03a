// SPDX-License-Identifier: GPL-3.0-or-later
#include "auditwindow/funnelchart.h"
#include "auditwindow/chartparts.h"
#include "auditwindow/modelnames.h"

#include "audit/funnel.h"

#include <QLineSeries>
#include <QScatterSeries>

#include <algorithm>
#include <cmath>
#include <functional>

namespace caldrin::auditwindow {

using namespace caldrin::audit;

namespace {

const QColor kFigures(31, 119, 180);    // blue: units inside the limits
const QColor kReference(127, 127, 127); // grey: target and limits
const QColor kAlarm(214, 39, 40);       // red: units outside

// Points along each limit curve, spaced evenly in log E so that the curve is
// smooth where it bends most, at small expected counts.
constexpr int kCurvePoints = 60;

bool outsideLimits(const UnitFigures& f) {
    return f.outside95 || f.outside998 || f.outsideOverdispersed;
}

// 0: beyond the 99.8% or widened limits, 1: beyond the 95% limits only, 2: inside.
int rankOf(const UnitFigures& f) {
    return f.outside998 || f.outsideOverdispersed ? 0 : f.outside95 ? 1 : 2;
}

std::vector<const Unit*> ranked(const AnalysisResult& result, std::size_t k) {
    std::vector<const Unit*> units;
    for (const Unit& u : result.units)
        units.push_back(&u);
    std::stable_sort(units.begin(), units.end(), [k](const Unit* l, const Unit* r) {
        return rankOf(l->models[k]) < rankOf(r->models[k]);
    });
    return units;
}

QString placeText(const UnitFigures& f) {
    QString where = !f.ratio       ? QStringLiteral("none expected")
                    : f.outside998 ? QStringLiteral("outside the 99.8% limits")
                    : f.outside95  ? QStringLiteral("outside the 95% limits")
                                   : QStringLiteral("inside the limits");
    if (f.outsideOverdispersed)
        where += QStringLiteral(", outside the widened limits");
    return where;
}

QString phiText(const AnalysisResult& result, const ModelResult& model,
                const NumberFormat& format) {
    if (!model.funnel.phi)
        return QStringLiteral("Overdispersion not measured: it needs at least %1 units, %2 read.")
            .arg(kFewestUnitsForOverdispersion)
            .arg(result.units.size());
    return model.funnel.overdispersionApplied
               ? QStringLiteral("Overdispersion phi %1: the units spread more than chance "
                                "allows, so they are also judged against limits widened by "
                                "the square root of phi.")
                     .arg(format.number(*model.funnel.phi, 2))
               : QStringLiteral("Overdispersion phi %1: no more spread than chance allows.")
                     .arg(format.number(*model.funnel.phi, 2));
}

QString titleOf(const ModelResult& model) {
    return modelName(model.model) + QStringLiteral(": units on a funnel plot");
}

// A pair of limit curves over expected counts from `low` to `high`.
void addLimits(QChart* chart, QValueAxis* x, QValueAxis* y, const QString& key, const QString& name,
               Qt::PenStyle style, double low, double high,
               const std::function<std::pair<double, double>(double)>& limitsAt) {
    auto* upper = addSeries<QLineSeries>(chart, key + QStringLiteral("Upper"), name, x, y);
    auto* lower = addSeries<QLineSeries>(chart, key + QStringLiteral("Lower"),
                                         name + QStringLiteral(", lower"), x, y);
    QList<QPointF> upperPoints;
    QList<QPointF> lowerPoints;
    for (int i = 0; i < kCurvePoints; ++i) {
        const double e = low * std::pow(high / low, i / double(kCurvePoints - 1));
        const auto [bottom, top] = limitsAt(e);
        upperPoints.append({e, top});
        lowerPoints.append({e, bottom});
    }
    upper->replace(upperPoints);
    lower->replace(lowerPoints);
    for (QLineSeries* line : {upper, lower}) {
        QPen pen(kReference, 1.5);
        pen.setStyle(style);
        line->setPen(pen);
    }
    hideFromLegend(chart, lower);
}

// The 95% and 99.8% limits, and the widened ones when they apply, from the
// smallest unit's expected count (or a little before the first tick) to the
// right edge; below that they run off the plot.
void addAllLimits(QChart* chart, const ModelResult& model, QValueAxis* x, QValueAxis* y,
                  double smallestExpected, double right) {
    const double from = std::max(right / 200, std::min(smallestExpected, right / 20));
    addLimits(chart, x, y, QStringLiteral("limit95"), QStringLiteral("95% limits"), Qt::DashLine,
              from, right, [](double e) {
                  return std::pair{funnelLimit(e, kFunnel95Lower), funnelLimit(e, kFunnel95Upper)};
              });
    addLimits(
        chart, x, y, QStringLiteral("limit998"), QStringLiteral("99.8% limits"), Qt::SolidLine,
        from, right, [](double e) {
            return std::pair{funnelLimit(e, kFunnel998Lower), funnelLimit(e, kFunnel998Upper)};
        });
    if (model.funnel.overdispersionApplied && model.funnel.phi) {
        const double phi = *model.funnel.phi;
        addLimits(chart, x, y, QStringLiteral("overdispersed"),
                  QStringLiteral("Widened 99.8% limits"), Qt::DotLine, from, right,
                  [phi](double e) {
                      const double half = kZ999 * std::sqrt(phi / e);
                      return std::pair{std::max(0.0, 1 - half), 1 + half};
                  });
    }
}

} // namespace

FigureTable unitTable(const AnalysisResult& result, std::size_t modelIndex,
                      const NumberFormat& format) {
    const ModelResult& model = result.models[modelIndex];
    FigureTable table;
    table.title = titleOf(model);
    table.headers = {QStringLiteral("Unit"),     QStringLiteral("n"),   QStringLiteral("Observed"),
                     QStringLiteral("Expected"), QStringLiteral("O:E"), QStringLiteral("Funnel")};
    table.csvHeaders = {QStringLiteral("Model"),
                        QStringLiteral("Unit"),
                        QStringLiteral("n"),
                        QStringLiteral("Observed"),
                        QStringLiteral("Expected"),
                        QStringLiteral("O:E"),
                        QStringLiteral("Outside 95% limits"),
                        QStringLiteral("Outside 99.8% limits"),
                        QStringLiteral("Outside widened limits")};
    auto yesNo = [](bool yes) { return yes ? QStringLiteral("yes") : QStringLiteral("no"); };
    for (const Unit* unit : ranked(result, modelIndex)) {
        const UnitFigures& f = unit->models[modelIndex];
        TableRow row;
        row.cells = {QString::fromUtf8(unit->name),
                     format.count(f.n),
                     format.count(f.observed),
                     format.number(f.expected, 2),
                     f.ratio ? format.number(*f.ratio, 2) : QStringLiteral("n/a"),
                     placeText(f)};
        if (outsideLimits(f))
            row.finding = *f.ratio > 1 ? Finding::MoreThanExpected : Finding::FewerThanExpected;
        table.rows.push_back(row);
        table.csvRows.push_back({modelName(model.model), row.cells[0], QString::number(f.n),
                                 QString::number(f.observed), QString::number(f.expected, 'f', 2),
                                 f.ratio ? QString::number(*f.ratio, 'f', 2) : QString(),
                                 yesNo(f.outside95), yesNo(f.outside998),
                                 yesNo(f.outsideOverdispersed)});
    }
    return table;
}

QString funnelFigures(const AnalysisResult& result, std::size_t modelIndex,
                      const NumberFormat& format) {
    const ModelResult& model = result.models[modelIndex];
    QStringList lines{titleOf(model)};
    if (result.units.size() < 2) {
        lines << QStringLiteral("Only one input file was read, so there are no units to "
                                "compare.");
        return lines.join(QLatin1Char('\n'));
    }
    int outside = 0;
    for (const Unit& unit : result.units)
        outside += outsideLimits(unit.models[modelIndex]) ? 1 : 0;
    lines << (outside ? QStringLiteral("%1 outside the limits, listed first.")
                            .arg(countOf(static_cast<std::uint64_t>(outside), "unit", "units"))
                      : QStringLiteral("Every unit lies inside the limits."));
    int number = 0;
    for (const Unit* unit : ranked(result, modelIndex)) {
        const UnitFigures& f = unit->models[modelIndex];
        lines << QStringLiteral("%1. %2: n %3, observed %4, expected %5, O:E %6, %7")
                     .arg(++number)
                     .arg(QString::fromUtf8(unit->name))
                     .arg(f.n)
                     .arg(f.observed)
                     .arg(format.number(f.expected, 2),
                          f.ratio ? format.number(*f.ratio, 2) : QStringLiteral("n/a"),
                          placeText(f));
    }
    lines << phiText(result, model, format);
    return lines.join(QLatin1Char('\n'));
}

std::unique_ptr<QChart> makeFunnelChart(const AnalysisResult& result, std::size_t modelIndex,
                                        QChart::ChartTheme theme, const NumberFormat& format,
                                        const QString& dateRange) {
    (void)format;
    const ModelResult& model = result.models[modelIndex];
    auto chart = std::make_unique<QChart>();
    chart->setTheme(theme);
    chart->setAnimationOptions(QChart::NoAnimation);
    // Beside the plot, each entry drawn as its series is: the 95% limits
    // dashed, the 99.8% solid.
    chart->legend()->setAlignment(Qt::AlignRight);
    chart->legend()->setMarkerShape(QLegend::MarkerShapeFromSeries);
    chart->setTitle(titleOf(model) + (dateRange.isEmpty() ? QString() : ", " + dateRange));

    double largestExpected = 1;
    double largestRatio = 0;
    double smallestExpected = 0;
    for (const Unit& unit : result.units) {
        const UnitFigures& f = unit.models[modelIndex];
        if (!f.ratio)
            continue;
        largestExpected = std::max(largestExpected, f.expected);
        largestRatio = std::max(largestRatio, *f.ratio);
        smallestExpected =
            smallestExpected > 0 ? std::min(smallestExpected, f.expected) : f.expected;
    }
    const double right = largestExpected * 1.08;
    const double top = std::max(2.0, largestRatio * 1.15);
    QValueAxis* x = addAxis(chart.get(), Qt::AlignBottom,
                            QStringLiteral("Expected %1").arg(eventsWord(model.outcome)), 0, right);
    QValueAxis* y = addAxis(chart.get(), Qt::AlignLeft, QStringLiteral("O:E"), 0, top);

    auto* target = addSeries<QLineSeries>(chart.get(), QStringLiteral("target"),
                                          QStringLiteral("Target 1"), x, y);
    target->append({{0, 1}, {right, 1}});
    target->setPen(QPen(kReference, 1.5));
    // One unit has nothing to be compared with: no limits (at a large
    // expected count they are also slow to find exactly).
    if (result.units.size() >= 2)
        addAllLimits(chart.get(), model, x, y, smallestExpected, right);
    const bool labelAll = result.units.size() <= kLabelledUnits;
    QScatterSeries* shared = nullptr;
    bool insideInLegend = false;
    bool outsideInLegend = false;
    // Points are labelled with their number in the list beside the plot:
    // file names of units close together would overlap unreadably.
    const std::vector<const Unit*> order = ranked(result, modelIndex);
    for (const Unit& unit : result.units) {
        const UnitFigures& f = unit.models[modelIndex];
        if (!f.ratio)
            continue;
        const bool outside = outsideLimits(f);
        const QPointF point(f.expected, *f.ratio);
        if (!outside && !labelAll) {
            if (!shared) {
                shared = addSeries<QScatterSeries>(chart.get(), QStringLiteral("units"),
                                                   QStringLiteral("Unit inside"), x, y);
                shared->setColor(kFigures);
                shared->setBorderColor(kFigures);
                shared->setMarkerSize(9);
                insideInLegend = true;
            }
            shared->append(point);
            continue;
        }
        auto* series = addSeries<QScatterSeries>(
            chart.get(), outside ? QStringLiteral("unitOutside") : QStringLiteral("unit"),
            outside ? QStringLiteral("Unit outside") : QStringLiteral("Unit inside"), x, y);
        series->append(point);
        series->setMarkerSize(9);
        series->setColor(outside ? kAlarm : kFigures);
        series->setBorderColor(outside ? kAlarm : kFigures);
        const auto number = std::find(order.begin(), order.end(), &unit) - order.begin() + 1;
        series->setPointLabelsFormat(QString::number(number));
        series->setPointLabelsVisible(true);
        series->setPointLabelsClipping(false);
        bool& inLegend = outside ? outsideInLegend : insideInLegend;
        if (inLegend)
            hideFromLegend(chart.get(), series);
        inLegend = true;
    }
    withoutLigatures(chart.get());
    return chart;
}

} // namespace caldrin::auditwindow
