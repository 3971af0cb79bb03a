// SPDX-License-Identifier: GPL-3.0-or-later
#include "auditwindow/histogramchart.h"
#include "auditwindow/auditcharts.h"
#include "auditwindow/chartparts.h"

#include <QBarCategoryAxis>
#include <QBarSet>
#include <QStackedBarSeries>

#include <algorithm>

namespace caldrin::auditwindow {

using namespace caldrin::audit;

namespace {

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

} // namespace

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

QStringList histogramFigures(const ModelResult& model) {
    QStringList lines;
    const HistogramBars bars = histogramBars(model);
    for (qsizetype i = 0; i < bars.labels.size(); ++i)
        if (bars.withEvent[i] + bars.withoutEvent[i] > 0)
            lines << QStringLiteral("Predicted %1%2%3%: %4 with, %5 without the outcome")
                         .arg(bars.labels[i], QStringLiteral("\u2013"))
                         .arg(bars.labels[i].toInt() + static_cast<int>(kHistogramBinsPerBar))
                         .arg(static_cast<qint64>(bars.withEvent[i]))
                         .arg(static_cast<qint64>(bars.withoutEvent[i]));
    return lines;
}

} // namespace caldrin::auditwindow
