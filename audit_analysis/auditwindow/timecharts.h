// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The charts over time: VLAD and the risk-adjusted CUSUM.

#include "audit/auditanalysis.h"
#include "auditwindow/figures.h"

#include <QChart>
#include <QStringList>

namespace caldrin::auditwindow {

// Add the chart's axes and series to `chart`.
void buildVlad(QChart* chart, const audit::ModelResult& model);
void buildCusum(QChart* chart, const audit::ModelResult& model);
// The charts' figures in words, one line each.
QStringList vladFigures(const audit::ModelResult& model, const NumberFormat& format);
QStringList cusumFigures(const audit::ModelResult& model, const NumberFormat& format);

} // namespace caldrin::auditwindow
