// SPDX-License-Identifier: GPL-3.0-or-later
#include "auditwindow/auditcharts.h"
#include "auditwindow/modelnames.h"

#include <QBarCategoryAxis>
#include <QBarSet>
#include <QGraphicsLayout>
#include <QGraphicsScene>
#include <QLegendMarker>
#include <QLineSeries>
#include <QScatterSeries>
#include <QStackedBarSeries>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace caldrin::auditwindow {

using namespace caldrin::audit;

namespace {

// Ticks at round values (1, 2 or 5 times a power of ten, counted from 0),
// about five of them; whole numbers only where the axis counts episodes.
QValueAxis* addAxis(QChart* chart, Qt::Alignment alignment, const QString& title, double low,
                    double high, bool wholeNumbers = false) {
    auto* axis = new QValueAxis(chart);
    axis->setTitleText(title);
    axis->setRange(low, high);
    const double rough = std::max(high - low, 1e-9) / 5;
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    double step = power;
    for (const double factor : {2.0, 5.0, 10.0})
        if (step < rough)
            step = power * factor;
    if (wholeNumbers)
        step = std::max(1.0, std::round(step));
    axis->setTickType(QValueAxis::TicksDynamic);
    axis->setTickAnchor(0);
    axis->setTickInterval(step);
    const int decimals = std::max(0, -static_cast<int>(std::floor(std::log10(step) + 1e-9)));
    axis->setLabelFormat(QStringLiteral("%.%1f").arg(decimals));
    chart->addAxis(axis, alignment);
    return axis;
}

template <typename Series>
Series* addSeries(QChart* chart, const QString& objectName, const QString& name, QValueAxis* x,
                  QValueAxis* y) {
    auto* series = new Series(chart);
    series->setObjectName(objectName);
    series->setName(name);
    chart->addSeries(series);
    series->attachAxis(x);
    series->attachAxis(y);
    return series;
}

void hideFromLegend(QChart* chart, QAbstractSeries* series) {
    for (QLegendMarker* marker : chart->legend()->markers(series))
        marker->setVisible(false);
}

double bandRate(double count, std::uint64_t n) {
    return n ? count / static_cast<double>(n) : 0;
}

// Rates from 0 to 1 with room beyond both ends, so that a marker at 0 or
// 1 is drawn whole; ticks stay at round values.
QValueAxis* addRateAxis(QChart* chart, Qt::Alignment alignment, const QString& title) {
    QValueAxis* axis = addAxis(chart, alignment, title, -0.04, 1.04);
    axis->setTickType(QValueAxis::TicksDynamic);
    axis->setTickAnchor(0);
    axis->setTickInterval(0.2);
    axis->setLabelFormat(QStringLiteral("%.1f"));
    return axis;
}

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

struct HistogramBars {
    QStringList labels;
    QList<qreal> withEvent;
    QList<qreal> withoutEvent;
};

HistogramBars histogramBars(const ModelResult& model) {
    HistogramBars bars;
    const RiskHistogram& h = model.histogram;
    for (std::size_t start = 0; start < RiskHistogram::kBins; start += kHistogramBinsPerBar) {
        std::uint64_t with = 0;
        std::uint64_t without = 0;
        for (std::size_t b = start; b < start + kHistogramBinsPerBar; ++b) {
            with += h.withEvent[b];
            without += h.withoutEvent[b];
        }
        bars.labels << QString::number(start);
        bars.withEvent << static_cast<qreal>(with);
        bars.withoutEvent << static_cast<qreal>(without);
    }
    return bars;
}

void buildHistogram(QChart* chart, const ModelResult& model) {
    const HistogramBars bars = histogramBars(model);
    auto* series = new QStackedBarSeries(chart);
    series->setObjectName(QStringLiteral("histogram"));
    auto* without =
        new QBarSet(QStringLiteral("Without %1")
                        .arg(model.outcome == Outcome::Mortality ? QStringLiteral("death")
                                                                 : QStringLiteral("complication")));
    without->setObjectName(QStringLiteral("withoutEvent"));
    without->append(bars.withoutEvent);
    auto* with = new QBarSet(QStringLiteral("With %1").arg(model.outcome == Outcome::Mortality
                                                               ? QStringLiteral("death")
                                                               : QStringLiteral("complication")));
    with->setObjectName(QStringLiteral("withEvent"));
    with->append(bars.withEvent);
    series->append(without);
    series->append(with);
    chart->addSeries(series);
    auto* x = new QBarCategoryAxis(chart);
    x->setTitleText(QStringLiteral("Predicted risk, %, from"));
    x->append(bars.labels);
    chart->addAxis(x, Qt::AlignBottom);
    series->attachAxis(x);
    qreal top = 1;
    for (qsizetype i = 0; i < bars.labels.size(); ++i)
        top = std::max(top, bars.withEvent[i] + bars.withoutEvent[i]);
    QValueAxis* y = addAxis(chart, Qt::AlignLeft, QStringLiteral("Episodes"), 0, top * 1.05, true);
    series->attachAxis(y);
}

// The same colours under every theme, so that a chart on screen in the dark
// and the same chart on paper read alike.
void fixedColours(QChart* chart) {
    const QColor figures(31, 119, 180);    // blue: the model's own figures
    const QColor reference(127, 127, 127); // grey: what they are measured against
    const QColor alarm(214, 39, 40);       // red: signals, events
    for (QAbstractSeries* series : chart->series()) {
        const QString name = series->objectName();
        if (auto* line = qobject_cast<QLineSeries*>(series);
            line && !qobject_cast<QScatterSeries*>(series))
            line->setColor(name == QStringLiteral("diagonal") || name == QStringLiteral("limit")
                               ? reference
                               : figures);
        if (auto* scatter = qobject_cast<QScatterSeries*>(series)) {
            const QColor colour = name == QStringLiteral("signals") ? alarm : figures;
            if (name == QStringLiteral("observedUnreliable")) {
                scatter->setBorderColor(colour);
            } else {
                scatter->setColor(colour);
                scatter->setBorderColor(colour);
            }
        }
        if (auto* bars = qobject_cast<QStackedBarSeries*>(series))
            for (QBarSet* set : bars->barSets()) {
                const QColor colour =
                    set->objectName() == QStringLiteral("withEvent") ? alarm : figures;
                set->setColor(colour);
                set->setBorderColor(colour);
            }
    }
}

// Text in exported images and the PDF is found by search as typed: no
// ligature glyphs ("speciﬁcity").
void withoutLigatures(QChart* chart) {
    auto plain = [](QFont font) {
        font.setStyleStrategy(QFont::PreferNoShaping);
        return font;
    };
    chart->setTitleFont(plain(chart->titleFont()));
    chart->legend()->setFont(plain(chart->legend()->font()));
    for (QAbstractAxis* axis : chart->axes()) {
        axis->setTitleFont(plain(axis->titleFont()));
        axis->setLabelsFont(plain(axis->labelsFont()));
    }
}

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
                                  const QString& dateRange) {
    auto chart = std::make_unique<QChart>();
    chart->setTheme(theme);
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->legend()->setAlignment(Qt::AlignBottom);
    chart->setTitle(titleOf(model, kind, format));
    switch (kind) {
    case ChartKind::Calibration:
        buildCalibration(chart.get(), model);
        break;
    case ChartKind::Roc:
        buildRoc(chart.get(), model);
        break;
    case ChartKind::Vlad:
        buildVlad(chart.get(), model);
        break;
    case ChartKind::Cusum:
        buildCusum(chart.get(), model);
        break;
    case ChartKind::Histogram:
        buildHistogram(chart.get(), model);
        break;
    }
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
        for (const RiskBand& band : model.bands) {
            const ObservedExpected& f = band.figures;
            if (f.n == 0)
                continue;
            QString line =
                QStringLiteral("Predicted %1%2%3%: n %4, expected rate %5, observed rate %6")
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
        break;
    case ChartKind::Roc:
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
        break;
    case ChartKind::Vlad: {
        const auto [low, high] = rangeOf(model.series, true);
        lines << QStringLiteral("Final value %1 after %2 episodes (expected minus observed %3)")
                     .arg(format.number(model.vlad, 2))
                     .arg(model.overall.n)
                     .arg(eventsWord(model.outcome))
              << QStringLiteral("Lowest %1, highest %2")
                     .arg(format.number(low, 2), format.number(high, 2));
        break;
    }
    case ChartKind::Cusum:
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
        break;
    case ChartKind::Histogram: {
        const HistogramBars bars = histogramBars(model);
        for (qsizetype i = 0; i < bars.labels.size(); ++i)
            if (bars.withEvent[i] + bars.withoutEvent[i] > 0)
                lines << QStringLiteral("Predicted %1%2%3%: %4 with, %5 without the outcome")
                             .arg(bars.labels[i], QStringLiteral("\u2013"))
                             .arg(bars.labels[i].toInt() + static_cast<int>(kHistogramBinsPerBar))
                             .arg(static_cast<qint64>(bars.withEvent[i]))
                             .arg(static_cast<qint64>(bars.withoutEvent[i]));
        break;
    }
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace caldrin::auditwindow
