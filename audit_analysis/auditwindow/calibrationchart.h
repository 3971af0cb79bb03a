// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The calibration chart: observed against expected rates per risk band.

#include "audit/auditanalysis.h"
#include "auditwindow/figures.h"

#include <QChart>
#include <QStringList>

namespace caldrin::auditwindow {

// Adds the chart's axes and series to `chart`.
void buildCalibration(QChart* chart, const audit::ModelResult& model);
// The chart's figures in words, one line per band.
QStringList calibrationFigures(const audit::ModelResult& model, const NumberFormat& format);

} // namespace caldrin::auditwindow
