// SPDX-License-Identifier: GPL-3.0-or-later
#include "auditwindow/auditcharts.h"
#include "auditwindow/calibrationchart.h"
#include "auditwindow/chartparts.h"
#include "auditwindow/histogramchart.h"
#include "auditwindow/modelnames.h"
#include "auditwindow/rocchart.h"
#include "auditwindow/timecharts.h"

#include <QGraphicsLayout>
#include <QGraphicsScene>
#include <QLegend>
#include <QLegendMarker>

namespace caldrin::auditwindow {

using namespace caldrin::audit;

namespace {

QString titleOf(const ModelResult& model, ChartKind kind, const NumberFormat& format) {
    QString title = modelName(model.model) + QStringLiteral(": ") + chartTitle(kind);
    if (kind == ChartKind::Roc && model.discrimination.auroc)
        title += QStringLiteral(", AUROC ") +
                 format.withInterval(*model.discrimination.auroc, model.discrimination.interval, 3);
    return title;
}

} // namespace

QString chartTitle(ChartKind kind) {
    switch (kind) {
    case ChartKind::Calibration:
        return QStringLiteral("Calibration");
    case ChartKind::Roc:
        return QStringLiteral("ROC curve");
    case ChartKind::Vlad:
        return QStringLiteral("VLAD");
    case ChartKind::Cusum:
        return QStringLiteral("Risk-adjusted CUSUM");
    case ChartKind::Histogram:
        return QStringLiteral("Predicted risks");
    }
    return {};
}

QString timeAxisName(TimeAxis axis) {
    return axis == TimeAxis::Date ? QStringLiteral("Date of operation")
                                  : QStringLiteral("Episode number");
}

TimeAxis preferredTimeAxis(const ModelResult& model) {
    return model.undated < model.overall.n ? TimeAxis::Date : TimeAxis::EpisodeNumber;
}

QString chartKey(ChartKind kind) {
    switch (kind) {
    case ChartKind::Calibration:
        return QStringLiteral("calibration");
    case ChartKind::Roc:
        return QStringLiteral("roc");
    case ChartKind::Vlad:
        return QStringLiteral("vlad");
    case ChartKind::Cusum:
        return QStringLiteral("cusum");
    case ChartKind::Histogram:
        return QStringLiteral("histogram");
    }
    return {};
}

std::unique_ptr<QChart> makeChart(const ModelResult& model, ChartKind kind,
                                  QChart::ChartTheme theme, const NumberFormat& format,
                                  const QString& dateRange, TimeAxis timeAxis) {
    auto chart = std::make_unique<QChart>();
    chart->setTheme(theme);
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->legend()->setAlignment(Qt::AlignBottom);
    // Each entry drawn as its series is: a dashed limit as a dashed line, a
    // hollow marker as a hollow marker.
    chart->legend()->setMarkerShape(QLegend::MarkerShapeFromSeries);
    chart->setTitle(titleOf(model, kind, format));
    switch (kind) {
    case ChartKind::Calibration:
        buildCalibration(chart.get(), model);
        break;
    case ChartKind::Roc:
        buildRoc(chart.get(), model);
        break;
    case ChartKind::Vlad:
        buildVlad(chart.get(), model, timeAxis);
        break;
    case ChartKind::Cusum:
        buildCusum(chart.get(), model, timeAxis);
        break;
    case ChartKind::Histogram:
        buildHistogram(chart.get(), model);
        break;
    }
    // Areas (bands, the risks beneath) and bars keep a filled box: drawn
    // from their outline they would be empty, and the legend would not say
    // which colour is which.
    for (QAbstractSeries* series : chart->series())
        if (series->type() == QAbstractSeries::SeriesTypeArea ||
            series->type() == QAbstractSeries::SeriesTypeStackedBar)
            for (QLegendMarker* marker : chart->legend()->markers(series))
                marker->setShape(QLegend::MarkerShapeRectangle);
    fixedColours(chart.get());
    withoutLigatures(chart.get());
    if (!dateRange.isEmpty())
        chart->setTitle(chart->title() + QStringLiteral(", ") + dateRange);
    return chart;
}

void paintChart(QChart& chart, QPainter& painter, const QRectF& target, const QSizeF& layoutSize) {
    QGraphicsScene scene;
    scene.addItem(&chart);
    chart.resize(layoutSize);
    if (chart.layout())
        chart.layout()->activate();
    scene.setSceneRect(QRectF(QPointF(0, 0), layoutSize));
    scene.render(&painter, target, scene.sceneRect());
    scene.removeItem(&chart); // the scene would delete it
}

QString chartFigures(const ModelResult& model, ChartKind kind, const NumberFormat& format) {
    QStringList lines{titleOf(model, kind, format)};
    switch (kind) {
    case ChartKind::Calibration:
        lines << calibrationFigures(model, format);
        break;
    case ChartKind::Roc:
        lines << rocFigures(model, format);
        break;
    case ChartKind::Vlad:
        lines << vladFigures(model, format);
        break;
    case ChartKind::Cusum:
        lines << cusumFigures(model, format);
        break;
    case ChartKind::Histogram:
        lines << histogramFigures(model);
        break;
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace caldrin::auditwindow
