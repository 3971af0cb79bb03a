// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The charts over time: VLAD and the two-sided risk-adjusted CUSUM, along
// episode numbers or dates of operation.

#include "audit/auditanalysis.h"
#include "auditwindow/auditcharts.h"
#include "auditwindow/figures.h"

#include <QChart>
#include <QStringList>

namespace caldrin::auditwindow {

// Add the chart's axes and series to `chart`. By date, episodes without a
// readable date are left off and the axis title says how many; with no date
// at all the chart runs by episode number and says why.
void buildVlad(QChart* chart, const audit::ModelResult& model, TimeAxis timeAxis);
void buildCusum(QChart* chart, const audit::ModelResult& model, TimeAxis timeAxis);

// The charts' figures in words, one line each.
QStringList vladFigures(const audit::ModelResult& model, const NumberFormat& format);
QStringList cusumFigures(const audit::ModelResult& model, const NumberFormat& format);

// Both CUSUMs and their signals in a few sentences for the printed report,
// with what the charts over time run along.
QString cusumReportText(const audit::ModelResult& model, const NumberFormat& format,
                        TimeAxis timeAxis);

} // namespace caldrin::auditwindow
