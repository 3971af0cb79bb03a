// SPDX-License-Identifier: GPL-3.0-or-later
#include "auditwindow/calibrationchart.h"
#include "auditwindow/chartparts.h"

#include <QAreaSeries>
#include <QLineSeries>
#include <QScatterSeries>

#include <algorithm>
#include <cmath>

namespace caldrin::auditwindow {

using namespace caldrin::audit;

namespace {

const QColor kCurveColour(31, 119, 180); // the model's own figures, as every chart
const QColor kEventColour(214, 39, 40);
const QColor kNoEventColour(127, 127, 127);

QString withoutWord(const ModelResult& model) {
    return model.outcome == Outcome::Mortality ? QStringLiteral("death")
                                               : QStringLiteral("complication");
}

QAreaSeries* addArea(QChart* chart, const QString& objectName, const QString& name,
                     const QList<QPointF>& upperPoints, const QList<QPointF>& lowerPoints,
                     QColor colour, QAbstractAxis* x, QAbstractAxis* y) {
    auto* upper = new QLineSeries(chart);
    upper->setObjectName(objectName + QStringLiteral("Upper"));
    upper->replace(upperPoints);
    auto* lower = new QLineSeries(chart);
    lower->setObjectName(objectName + QStringLiteral("Lower"));
    lower->replace(lowerPoints);
    auto* area = addSeries<QAreaSeries>(chart, objectName, name, x, y);
    area->setUpperSeries(upper);
    area->setLowerSeries(lower);
    area->setPen(Qt::NoPen);
    colour.setAlpha(90);
    area->setBrush(colour);
    return area;
}

// The flexible curve and its band, or an empty series whose legend says why
// there is no curve.
void addCurve(QChart* chart, const CalibrationCurve& curve, QAbstractAxis* x, QAbstractAxis* y) {
    if (curve.points.empty()) {
        addSeries<QLineSeries>(
            chart, QStringLiteral("curveMissing"),
            QStringLiteral("No flexible curve: ") + QString::fromStdString(curve.missing), x, y);
        return;
    }
    QList<QPointF> observed;
    QList<QPointF> upper;
    QList<QPointF> lower;
    for (const CalibrationCurvePoint& p : curve.points) {
        observed.append({p.p, p.observed});
        upper.append({p.p, p.upper});
        lower.append({p.p, p.lower});
    }
    addArea(chart, QStringLiteral("curveBand"), QStringLiteral("Curve's 95% band"), upper, lower,
            kCurveColour, x, y);
    auto* line = addSeries<QLineSeries>(chart, QStringLiteral("curve"),
                                        QStringLiteral("Flexible curve"), x, y);
    line->replace(observed);
    QPen pen = line->pen();
    pen.setWidthF(2.5);
    line->setPen(pen);
}

// The engine's 1% bins as steps on a right-hand axis, laid so that its 0 is
// the rate axis's 0 and the tallest bar takes a fifth of the height: the
// risks' spread beneath the curve. Each outcome's bars are shares of its own
// episodes, both drawn from 0: counted together, the few episodes with the
// event would be a sliver on top of the many without, invisible.
void addHistogram(QChart* chart, const ModelResult& model, QAbstractAxis* x) {
    const RiskHistogram& h = model.histogram;
    std::uint64_t withTotal = 0;
    std::uint64_t withoutTotal = 0;
    for (std::size_t b = 0; b < RiskHistogram::kBins; ++b) {
        withTotal += h.withEvent[b];
        withoutTotal += h.withoutEvent[b];
    }
    auto share = [](std::uint64_t count, std::uint64_t total) {
        return total ? 100.0 * static_cast<double>(count) / static_cast<double>(total) : 0.0;
    };
    double tallest = 1;
    for (std::size_t b = 0; b < RiskHistogram::kBins; ++b)
        tallest = std::max(
            {tallest, share(h.withEvent[b], withTotal), share(h.withoutEvent[b], withoutTotal)});
    const double top = tallest * 5;
    QValueAxis* y = addAxis(chart, Qt::AlignRight, QStringLiteral("% of its outcome"),
                            -top * 0.04 / 1.04, top, false);
    y->setGridLineVisible(false);
    QList<QPointF> zero;
    QList<QPointF> without;
    QList<QPointF> with;
    for (std::size_t b = 0; b < RiskHistogram::kBins; ++b) {
        const double from = static_cast<double>(b) / RiskHistogram::kBins;
        const double to = static_cast<double>(b + 1) / RiskHistogram::kBins;
        const double below = share(h.withoutEvent[b], withoutTotal);
        const double above = share(h.withEvent[b], withTotal);
        zero << QPointF(from, 0) << QPointF(to, 0);
        without << QPointF(from, below) << QPointF(to, below);
        with << QPointF(from, above) << QPointF(to, above);
    }
    addArea(chart, QStringLiteral("histogramWithout"),
            QStringLiteral("No %1").arg(withoutWord(model)), without, zero, kNoEventColour, x, y);
    QAreaSeries* events =
        addArea(chart, QStringLiteral("histogramWith"),
                QStringLiteral("With %1").arg(withoutWord(model)), with, zero, kEventColour, x, y);
    // In front of the grey and outlined: a bar one pixel high still shows.
    QColor fill = kEventColour;
    fill.setAlpha(170);
    events->setBrush(fill);
    events->setPen(QPen(kEventColour, 1.5));
}

QString risk(double value, const NumberFormat& format) {
    return format.number(value, 3);
}

} // namespace

void buildCalibration(QChart* chart, const ModelResult& model) {
    QValueAxis* x = addRateAxis(chart, Qt::AlignBottom, QStringLiteral("Predicted risk"));
    QValueAxis* y = addRateAxis(chart, Qt::AlignLeft, QStringLiteral("Observed rate"));
    // Seven entries read whole beside the plot, not cut short below it.
    chart->legend()->setAlignment(Qt::AlignRight);
    addHistogram(chart, model, x);
    addCurve(chart, model.calibrationCurve, x, y);
    auto* diagonal = addSeries<QLineSeries>(chart, QStringLiteral("diagonal"),
                                            QStringLiteral("Observed = expected"), x, y);
    diagonal->append({{0, 0}, {1, 1}});
    QPen dashed = diagonal->pen();
    dashed.setStyle(Qt::DashLine);
    diagonal->setPen(dashed);

    auto* reliable = addSeries<QScatterSeries>(chart, QStringLiteral("observed"),
                                               QStringLiteral("Bands (95% interval)"), x, y);
    reliable->setMarkerShape(QScatterSeries::MarkerShapeCircle);
    auto* unreliable = addSeries<QScatterSeries>(chart, QStringLiteral("observedUnreliable"),
                                                 QStringLiteral("Under 5 expected"), x, y);
    unreliable->setMarkerShape(QScatterSeries::MarkerShapeRectangle);
    // Hollow, but outlined in the series' colour: the theme's outline is the
    // background's colour, which leaves a hollow marker invisible.
    QPen outline(reliable->color(), 2);
    unreliable->setPen(outline);
    unreliable->setBrush(Qt::NoBrush);
    unreliable->setMarkerSize(reliable->markerSize());
    for (const RiskBand& band : model.bands) {
        const ObservedExpected& f = band.figures;
        if (f.n == 0)
            continue;
        const double expectedRate = bandRate(f.expected, f.n);
        const QPointF point(expectedRate, bandRate(static_cast<double>(f.observed), f.n));
        (f.unreliable ? unreliable : reliable)->append(point);
        if (f.rateInterval) {
            // Wilson's interval of the observed rate: inside [0, 1], where
            // O:E's Poisson limits scaled back to a rate are not.
            auto* interval = addSeries<QLineSeries>(chart, QStringLiteral("interval"),
                                                    QStringLiteral("95% interval"), x, y);
            interval->append(expectedRate, f.rateInterval->lower);
            interval->append(expectedRate, f.rateInterval->upper);
            interval->setColor(reliable->color());
            hideFromLegend(chart, interval);
        }
    }
}

QStringList calibrationFigures(const ModelResult& model, const NumberFormat& format) {
    QStringList lines;
    for (const RiskBand& band : model.bands) {
        const ObservedExpected& f = band.figures;
        if (f.n == 0)
            continue;
        QString line = QStringLiteral("Predicted %1%2%3%: n %4, expected rate %5, observed rate %6")
                           .arg(qRound(band.from * 100))
                           .arg(QStringLiteral("\u2013"))
                           .arg(qRound(band.to * 100))
                           .arg(f.n)
                           .arg(format.number(bandRate(f.expected, f.n), 3),
                                format.number(bandRate(static_cast<double>(f.observed), f.n), 3));
        if (f.rateInterval)
            line += QStringLiteral(" (%1)").arg(format.range(*f.rateInterval, 3));
        if (f.unreliable)
            line += QStringLiteral(", unreliable");
        lines << line;
    }
    const CalibrationCurve& curve = model.calibrationCurve;
    if (curve.points.empty() || !curve.ici) {
        lines << QStringLiteral("No flexible calibration curve: %1.")
                     .arg(QString::fromStdString(curve.missing));
        return lines;
    }
    QStringList knots;
    for (const double knot : curve.knots)
        knots << risk(1 / (1 + std::exp(-knot)), format);
    lines << QStringLiteral("Flexible calibration curve (restricted cubic spline of the "
                            "predicted log-odds, knots at risks %1): ICI %2, E50 %3, E90 %4, "
                            "Emax %5")
                 .arg(knots.join(QStringLiteral(", ")), risk(*curve.ici, format),
                      risk(*curve.e50, format), risk(*curve.e90, format),
                      risk(*curve.emax, format));
    if (model.fewEvents)
        lines << QStringLiteral("Imprecise: fewer than %1 episodes with, or without, the %2.")
                     .arg(kFewEvents)
                     .arg(withoutWord(model));
    // Every fifth of the curve's points, and its last.
    for (std::size_t i = 0; i < curve.points.size(); i += 5) {
        const std::size_t at = i + 5 < curve.points.size() ? i : curve.points.size() - 1;
        const CalibrationCurvePoint& p = curve.points[at];
        lines << QStringLiteral("Curve at predicted %1: observed %2 (%3)")
                     .arg(risk(p.p, format), risk(p.observed, format),
                          format.range(Interval{p.lower, p.upper}, 3));
    }
    return lines;
}

} // namespace caldrin::auditwindow
