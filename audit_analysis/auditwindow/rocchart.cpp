// SPDX-License-Identifier: GPL-3.0-or-later
#include "auditwindow/rocchart.h"
#include "auditwindow/chartparts.h"

#include <QLineSeries>

namespace caldrin::auditwindow {

using namespace caldrin::audit;

void buildRoc(QChart* chart, const ModelResult& model) {
    QValueAxis* x = addRateAxis(chart, Qt::AlignBottom, QStringLiteral("1 - specificity"));
    QValueAxis* y = addRateAxis(chart, Qt::AlignLeft, QStringLiteral("Sensitivity"));
    auto* diagonal = addSeries<QLineSeries>(chart, QStringLiteral("diagonal"),
                                            QStringLiteral("No discrimination"), x, y);
    diagonal->append({{0, 0}, {1, 1}});
    QPen dashed = diagonal->pen();
    dashed.setStyle(Qt::DashLine);
    diagonal->setPen(dashed);
    auto* curve =
        addSeries<QLineSeries>(chart, QStringLiteral("roc"), QStringLiteral("ROC curve"), x, y);
    QList<QPointF> points;
    points.reserve(static_cast<qsizetype>(model.roc.size()));
    for (const RocPoint& p : model.roc)
        points.append({p.falsePositiveRate, p.truePositiveRate});
    curve->replace(points);
}

QStringList rocFigures(const ModelResult& model, const NumberFormat& format) {
    QStringList lines;
    if (!model.discrimination.auroc)
        lines << QStringLiteral("No curve: it needs episodes with and without the outcome.");
    for (const double threshold : {0.05, 0.1, 0.2, 0.3, 0.5}) {
        // The curve's point for the lowest threshold at or above this one.
        const RocPoint* found = nullptr;
        for (const RocPoint& p : model.roc)
            if (p.threshold >= threshold && (!found || p.threshold < found->threshold))
                found = &p;
        if (found)
            lines << QStringLiteral("Risk %1 or more: sensitivity %2, specificity %3")
                         .arg(format.number(found->threshold, 4),
                              format.number(found->truePositiveRate, 3),
                              format.number(1 - found->falsePositiveRate, 3));
    }
    return lines;
}

} // namespace caldrin::auditwindow
