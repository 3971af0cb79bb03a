// SPDX-License-Identifier: GPL-3.0-or-later
#include "auditwindow/chartparts.h"

#include <QBarSet>
#include <QLegendMarker>
#include <QLineSeries>
#include <QScatterSeries>
#include <QStackedBarSeries>

#include <algorithm>
#include <cmath>

namespace caldrin::auditwindow {

QValueAxis* addAxis(QChart* chart, Qt::Alignment alignment, const QString& title, double low,
                    double high, bool wholeNumbers) {
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

QValueAxis* addRateAxis(QChart* chart, Qt::Alignment alignment, const QString& title) {
    QValueAxis* axis = addAxis(chart, alignment, title, -0.04, 1.04);
    axis->setTickType(QValueAxis::TicksDynamic);
    axis->setTickAnchor(0);
    axis->setTickInterval(0.2);
    axis->setLabelFormat(QStringLiteral("%.1f"));
    return axis;
}

void hideFromLegend(QChart* chart, QAbstractSeries* series) {
    for (QLegendMarker* marker : chart->legend()->markers(series))
        marker->setVisible(false);
}

double bandRate(double count, std::uint64_t n) {
    return n ? count / static_cast<double>(n) : 0;
}

void fixedColours(QChart* chart) {
    const QColor figures(31, 119, 180);      // blue: the model's own figures
    const QColor reference(127, 127, 127);   // grey: what they are measured against
    const QColor alarm(214, 39, 40);         // red: signals, events
    const QColor better(44, 160, 44);        // green: the improvement CUSUM
    const QColor betterAlarm(148, 103, 189); // purple: its signals
    const QStringList references = {
        QStringLiteral("diagonal"), QStringLiteral("limit"), QStringLiteral("limitMissing"),
        QStringLiteral("improvementLimit"), QStringLiteral("improvementLimitMissing")};
    for (QAbstractSeries* series : chart->series()) {
        const QString name = series->objectName();
        if (auto* line = qobject_cast<QLineSeries*>(series);
            line && !qobject_cast<QScatterSeries*>(series))
            line->setColor(references.contains(name)               ? reference
                           : name == QStringLiteral("improvement") ? better
                                                                   : figures);
        if (auto* scatter = qobject_cast<QScatterSeries*>(series)) {
            const QColor colour = name == QStringLiteral("signals")              ? alarm
                                  : name == QStringLiteral("improvementSignals") ? betterAlarm
                                                                                 : figures;
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

} // namespace caldrin::auditwindow
