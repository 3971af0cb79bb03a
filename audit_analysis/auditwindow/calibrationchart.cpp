// SPDX-License-Identifier: GPL-3.0-or-later
#include "auditwindow/calibrationchart.h"
#include "auditwindow/chartparts.h"

#include <QLineSeries>
#include <QScatterSeries>

#include <algorithm>

namespace caldrin::auditwindow {

using namespace caldrin::audit;

void buildCalibration(QChart* chart, const ModelResult& model) {
    QValueAxis* x = addRateAxis(chart, Qt::AlignBottom, QStringLiteral("Expected rate (per band)"));
    QValueAxis* y = addRateAxis(chart, Qt::AlignLeft, QStringLiteral("Observed rate"));
    auto* diagonal = addSeries<QLineSeries>(chart, QStringLiteral("diagonal"),
                                            QStringLiteral("Observed = expected"), x, y);
    diagonal->append({{0, 0}, {1, 1}});
    QPen dashed = diagonal->pen();
    dashed.setStyle(Qt::DashLine);
    diagonal->setPen(dashed);

    auto* reliable = addSeries<QScatterSeries>(chart, QStringLiteral("observed"),
                                               QStringLiteral("Observed (95% interval)"), x, y);
    reliable->setMarkerShape(QScatterSeries::MarkerShapeCircle);
    auto* unreliable =
        addSeries<QScatterSeries>(chart, QStringLiteral("observedUnreliable"),
                                  QStringLiteral("Unreliable: under 5 expected"), x, y);
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
        if (f.interval) {
            // The interval of O:E scaled back to rates: limits on the count over n.
            auto* interval = addSeries<QLineSeries>(chart, QStringLiteral("interval"),
                                                    QStringLiteral("95% interval"), x, y);
            interval->append(expectedRate, std::min(1.0, f.interval->lower * expectedRate));
            interval->append(expectedRate, std::min(1.0, f.interval->upper * expectedRate));
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
        if (f.interval)
            line += QStringLiteral(" (%1\u2013%2)")
                        .arg(format.number(f.interval->lower * bandRate(f.expected, f.n), 3),
                             format.number(f.interval->upper * bandRate(f.expected, f.n), 3));
        if (f.unreliable)
            line += QStringLiteral(", unreliable");
        lines << line;
    }
    return lines;
}

} // namespace caldrin::auditwindow
