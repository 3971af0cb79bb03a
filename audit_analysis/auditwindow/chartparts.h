// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What every chart builder shares: axes with round ticks, series with the
// object names tests read, colours that hold in every theme, and text that
// search finds as typed.

#include <QAbstractSeries>
#include <QChart>
#include <QString>
#include <QValueAxis>

#include <cstdint>

namespace caldrin::auditwindow {

// Ticks at round values (1, 2 or 5 times a power of ten, counted from 0),
// about five of them; whole numbers only where the axis counts episodes.
QValueAxis* addAxis(QChart* chart, Qt::Alignment alignment, const QString& title, double low,
                    double high, bool wholeNumbers = false);

// Rates from 0 to 1 with room beyond both ends, so that a marker at 0 or
// 1 is drawn whole; ticks stay at round values.
QValueAxis* addRateAxis(QChart* chart, Qt::Alignment alignment, const QString& title);

// A series of `Series`' type owned by `chart`, on the axes `x` and `y`.
template <typename Series>
Series* addSeries(QChart* chart, const QString& objectName, const QString& name, QAbstractAxis* x,
                  QAbstractAxis* y) {
    auto* series = new Series(chart);
    series->setObjectName(objectName);
    series->setName(name);
    chart->addSeries(series);
    series->attachAxis(x);
    series->attachAxis(y);
    return series;
}

void hideFromLegend(QChart* chart, QAbstractSeries* series);

// `count` over `n`, 0 for no episodes.
double bandRate(double count, std::uint64_t n);

// The same colours under every theme, so that a chart on screen in the dark
// and the same chart on paper read alike.
void fixedColours(QChart* chart);

// Text in exported images and the PDF is found by search as typed: no
// ligature glyphs ("speciﬁcity").
void withoutLigatures(QChart* chart);

} // namespace caldrin::auditwindow
