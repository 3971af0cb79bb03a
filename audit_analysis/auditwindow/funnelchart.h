// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The funnel plot of one model: each unit (an input file) as a point, its
// O:E against its expected count, inside exact Poisson control limits that
// narrow as the expected count grows (Spiegelhalter, Stat Med
// 2005;24:1185-1202). The same units as a table and in words, those outside
// the limits first.

#include "audit/auditanalysis.h"
#include "auditwindow/figures.h"

#include <QChart>

#include <memory>

namespace caldrin::auditwindow {

// The units' figures for the model at `modelIndex` in result.models: those
// outside the 99.8% (or widened) limits first, then those outside the 95%
// limits, then the rest, each group in the order of the files.
FigureTable unitTable(const audit::AnalysisResult& result, std::size_t modelIndex,
                      const NumberFormat& format);

// A new funnel plot in `theme`. Series carry object names the tests read:
// "target" (O:E 1), "limit95Upper", "limit95Lower", "limit998Upper",
// "limit998Lower", "overdispersedUpper" and "overdispersedLower" (only when
// the limits are widened), "unit" (a unit inside the limits) and
// "unitOutside", each unit its own series labelled with its number in
// funnelFigures' list (the series' point label format); past kLabelledUnits units
// the ones inside the limits share one unlabelled series, "units".
inline constexpr std::size_t kLabelledUnits = 30;
std::unique_ptr<QChart> makeFunnelChart(const audit::AnalysisResult& result, std::size_t modelIndex,
                                        QChart::ChartTheme theme, const NumberFormat& format,
                                        const QString& dateRange = {});

// The plot in words, one line each: the heading, each unit (outside the
// limits first) and the overdispersion.
QString funnelFigures(const audit::AnalysisResult& result, std::size_t modelIndex,
                      const NumberFormat& format);

} // namespace caldrin::auditwindow
