// SPDX-License-Identifier: GPL-3.0-or-later
#include "auditwindow/timecharts.h"
#include "auditwindow/chartparts.h"

#include <QLineSeries>
#include <QScatterSeries>

#include <algorithm>
#include <utility>

namespace caldrin::auditwindow {

using namespace caldrin::audit;

namespace {

std::pair<double, double> rangeOf(const std::vector<TimePoint>& series, bool vlad) {
    double low = 0;
    double high = 0;
    for (const TimePoint& p : series) {
        const double v = vlad ? p.vlad : p.cusum;
        low = std::min(low, v);
        high = std::max(high, v);
    }
    return {low, high};
}

double lastPosition(const ModelResult& model) {
    return model.series.empty() ? 1.0 : static_cast<double>(model.series.back().position);
}

} // namespace

void buildVlad(QChart* chart, const ModelResult& model) {
    const auto [low, high] = rangeOf(model.series, true);
    const double margin = std::max(1.0, (high - low) * 0.05);
    QValueAxis* x = addAxis(chart, Qt::AlignBottom, QStringLiteral("Episodes in date order"), 0,
                            lastPosition(model), true);
    QValueAxis* y = addAxis(chart, Qt::AlignLeft, QStringLiteral("Expected minus observed"),
                            low - margin, high + margin);
    auto* line =
        addSeries<QLineSeries>(chart, QStringLiteral("vlad"), QStringLiteral("VLAD"), x, y);
    QList<QPointF> points;
    points.reserve(static_cast<qsizetype>(model.series.size()) + 1);
    points.append({0, 0});
    for (const TimePoint& p : model.series)
        points.append({static_cast<double>(p.position), p.vlad});
    line->replace(points);
}

void buildCusum(QChart* chart, const ModelResult& model) {
    const auto [low, high] = rangeOf(model.series, false);
    (void)low;
    const double top = std::max(high, model.cusum.limit.value_or(0)) * 1.1 + 0.1;
    QValueAxis* x = addAxis(chart, Qt::AlignBottom, QStringLiteral("Episodes in date order"), 0,
                            lastPosition(model), true);
    QValueAxis* y = addAxis(chart, Qt::AlignLeft, QStringLiteral("CUSUM"), 0, top);
    auto* line = addSeries<QLineSeries>(
        chart, QStringLiteral("cusum"),
        QStringLiteral("CUSUM for odds ratio %1").arg(model.cusum.oddsRatio), x, y);
    QList<QPointF> points;
    points.reserve(static_cast<qsizetype>(model.series.size()) + 1);
    points.append({0, 0});
    for (const TimePoint& p : model.series)
        points.append({static_cast<double>(p.position), p.cusum});
    line->replace(points);
    if (model.cusum.limit) {
        auto* limit = addSeries<QLineSeries>(
            chart, QStringLiteral("limit"),
            QStringLiteral("Control limit %1").arg(*model.cusum.limit, 0, 'f', 2), x, y);
        limit->append({{0, *model.cusum.limit}, {lastPosition(model), *model.cusum.limit}});
        QPen dashed = limit->pen();
        dashed.setStyle(Qt::DashLine);
        limit->setPen(dashed);
    }
    auto* signals_ = addSeries<QScatterSeries>(chart, QStringLiteral("signals"),
                                               QStringLiteral("Signals"), x, y);
    signals_->setMarkerShape(QScatterSeries::MarkerShapeRectangle);
    for (const TimePoint& p : model.series)
        if (p.signal)
            signals_->append(static_cast<double>(p.position), p.cusum);
}

QStringList vladFigures(const ModelResult& model, const NumberFormat& format) {
    const auto [low, high] = rangeOf(model.series, true);
    return {
        QStringLiteral("Final value %1 after %2 episodes (expected minus observed %3)")
            .arg(format.number(model.vlad, 2))
            .arg(model.overall.n)
            .arg(eventsWord(model.outcome)),
        QStringLiteral("Lowest %1, highest %2").arg(format.number(low, 2), format.number(high, 2))};
}

QStringList cusumFigures(const ModelResult& model, const NumberFormat& format) {
    QStringList lines;
    lines << QStringLiteral("Odds ratio %1; control limit %2")
                 .arg(format.number(model.cusum.oddsRatio, 2),
                      model.cusum.limit ? format.number(*model.cusum.limit, 2)
                      : model.cusum.limitMissing.empty()
                          ? QStringLiteral("not yet computed")
                          : QStringLiteral("none (%1)")
                                .arg(QString::fromStdString(model.cusum.limitMissing)));
    if (model.cusum.signals.empty())
        lines << QStringLiteral("No signals");
    for (const CusumSignal& alarm : model.cusum.signals)
        lines << QStringLiteral("Signal at episode %1, dated %2")
                     .arg(alarm.position)
                     .arg(QString::fromUtf8(alarm.date));
    lines << QStringLiteral("Value after the last episode %1")
                 .arg(format.number(model.cusum.finalValue, 2));
    return lines;
}

} // namespace caldrin::auditwindow
