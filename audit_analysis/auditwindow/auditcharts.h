// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The five charts of one model's analysis, built with Qt Charts, and the same
// figures as text for people who cannot see the chart.

#include "audit/auditanalysis.h"
#include "auditwindow/figures.h"

#include <QChart>
#include <QRectF>
#include <QSizeF>
#include <QString>

class QPainter;

#include <array>
#include <memory>

namespace caldrin::auditwindow {

enum class ChartKind { Calibration, Roc, Vlad, Cusum, Histogram };
inline constexpr std::array<ChartKind, 5> kChartKinds = {ChartKind::Calibration, ChartKind::Roc,
                                                         ChartKind::Vlad, ChartKind::Cusum,
                                                         ChartKind::Histogram};

// "Calibration", "ROC curve", ... as tab and heading.
QString chartTitle(ChartKind kind);
// "calibration", "roc", ... for object and file names.
QString chartKey(ChartKind kind);

// What the VLAD and CUSUM charts run along: the episodes counted in time
// order, or their dates of operation.
enum class TimeAxis { EpisodeNumber, Date };
// "Episode number", "Date of operation".
QString timeAxisName(TimeAxis axis);
// By date when any of the model's episodes has a readable date: for charts
// that leave the window, where nobody can switch.
TimeAxis preferredTimeAxis(const audit::ModelResult& model);

// The histogram shows the engine's bins of 1% summed into bins of this many.
inline constexpr std::size_t kHistogramBinsPerBar = 5;

// A new chart in `theme`. Series carry object names the tests read:
// "observed", "observedUnreliable", "interval", "diagonal", "roc", "vlad",
// "cusum", "limit", "signals", "improvement", "improvementLimit",
// "improvementSignals" (a missing limit: "limitMissing",
// "improvementLimitMissing", named with the reason), "histogram".
// With `dateRange` ("all dates", "1 Jul 2024 to 30 Sep 2024") the title says
// it. Series keep their colours in every theme; axes tick at round values,
// episode axes at whole numbers, date axes at whole days. The VLAD and CUSUM
// charts run along `timeAxis`.
std::unique_ptr<QChart> makeChart(const audit::ModelResult& model, ChartKind kind,
                                  QChart::ChartTheme theme, const NumberFormat& format,
                                  const QString& dateRange = {},
                                  TimeAxis timeAxis = TimeAxis::EpisodeNumber);

// Paints `chart` into `target` on `painter`, laid out at `layoutSize` (screen
// pixels: the chart's fonts keep their proportions). The caller keeps the chart.
void paintChart(QChart& chart, QPainter& painter, const QRectF& target, const QSizeF& layoutSize);

// The chart's figures in words, one line each.
QString chartFigures(const audit::ModelResult& model, ChartKind kind, const NumberFormat& format);

} // namespace caldrin::auditwindow
