// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// How well each model fits these patients beyond O:E: its calibration
// figures, and every pair of models' AUROCs compared. Tables of text, shared
// by the summary page, the PDF report and CSV export like figures.h.

#include "auditwindow/figures.h"

namespace caldrin::auditwindow {

// A row per analysed model: calibration-in-the-large, the recalibration
// intercept and the calibration slope with their 95% intervals, the flexible
// curve's ICI, E50, E90 and Emax, and in the last column why a figure is
// missing or that every figure is imprecise with too few events.
FigureTable calibrationTable(const audit::AnalysisResult& result, const NumberFormat& format);

// A row per pair of models of the same outcome (the paired DeLong test):
// episodes counted by both, the difference in AUROC with its 95% interval, z
// and the two-sided p, or why there are none.
FigureTable comparisonTable(const audit::AnalysisResult& result, const NumberFormat& format);

// What the calibration figures mean, in two sentences for the page below the
// table: which intercept is which, and why Hosmer-Lemeshow is read with care.
QString calibrationReading();

} // namespace caldrin::auditwindow
