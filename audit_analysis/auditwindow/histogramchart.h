// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The histogram of predicted risks, with and without the outcome stacked.

#include "audit/auditanalysis.h"
#include "auditwindow/figures.h"

#include <QChart>
#include <QStringList>

namespace caldrin::auditwindow {

// Adds the chart's axes and series to `chart`.
void buildHistogram(QChart* chart, const audit::ModelResult& model);
// The bars' counts in words, one line per bar with episodes.
QStringList histogramFigures(const audit::ModelResult& model);

} // namespace caldrin::auditwindow
