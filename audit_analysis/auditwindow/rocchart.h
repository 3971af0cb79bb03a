// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The ROC curve of a model's predicted risks.

#include "audit/auditanalysis.h"
#include "auditwindow/figures.h"

#include <QChart>
#include <QStringList>

namespace caldrin::auditwindow {

// Adds the chart's axes and series to `chart`.
void buildRoc(QChart* chart, const audit::ModelResult& model);
// Sensitivity and specificity at a few round thresholds, one line each.
QStringList rocFigures(const audit::ModelResult& model, const NumberFormat& format);

} // namespace caldrin::auditwindow
