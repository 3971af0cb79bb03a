// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The calibration chart: observed against expected rates per risk band, the
// flexible calibration curve with its pointwise 95% band, the diagonal, and
// beneath them the predicted risks of episodes without and with the outcome.

#include "audit/auditanalysis.h"
#include "auditwindow/figures.h"

#include <QChart>
#include <QStringList>

namespace caldrin::auditwindow {

// Adds the chart's axes and series to `chart`. Object names: "diagonal",
// "observed", "observedUnreliable", "interval", "curve" (predicted risk to
// observed), "curveBand" (an area between "curveLower" and "curveUpper"),
// "curveMissing" (an empty series whose legend entry gives the reason when
// there is no curve), "histogramWithout" and "histogramWith" (areas on the
// right-hand "Episodes" axis, with-outcome stacked on without).
void buildCalibration(QChart* chart, const audit::ModelResult& model);
// The chart's figures in words: one line per band, then the flexible curve's
// summaries and ten of its points, or why there is no curve.
QStringList calibrationFigures(const audit::ModelResult& model, const NumberFormat& format);

} // namespace caldrin::auditwindow
