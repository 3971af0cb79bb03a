// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Calibration of predicted risks against outcomes: the logistic recalibration
// (intercept and slope on logit p), calibration-in-the-large (intercept with
// logit p as an offset) and the flexible calibration curve (a restricted
// cubic spline of logit p). All work on the episodes grouped by exact risk,
// so their cost does not grow with the number of episodes.
//
// A fit that cannot be identified gives no figures and says why in words: a
// Newton-Raphson started from perfect calibration would otherwise hand back
// its starting values (intercept 0, slope 1) as if they had been estimated.

#include "audit/auditanalysis.h"

#include <span>
#include <string>
#include <vector>

namespace caldrin::audit {

struct RiskGroup;

// logit(p) with p clamped to [1e-6, 1 - 1e-6], so that risks of 0 and 1 stay finite.
double clampedLogit(double p);

// Why a logistic fit of the outcome on logit p cannot be identified from
// these episodes, in words; empty when it can (both classes present, at least
// two distinct predicted risks, no risk that separates the classes).
std::string calibrationFitObstacle(std::span<const RiskGroup> groups);

// Recalibration intercept and slope with Wald 95% intervals, and
// calibration-in-the-large with its Wald 95% interval.
Calibration calibrationFit(std::span<const RiskGroup> groups);

// Knots of the restricted cubic spline on x = logit(p): the 5th, 35th, 65th
// and 95th percentiles of x over the episodes (linear interpolation between
// order statistics); when these are not four distinct values, the 10th, 50th
// and 90th; none when those are not three distinct values.
std::vector<double> splineKnots(std::span<const RiskGroup> groups);

// The spline's columns at x: x itself, then one column for each knot but
// the last two (Harrell's restricted cubic spline, scaled by the squared
// distance between the outer knots).
std::vector<double> splineBasis(double x, std::span<const double> knots);

// The flexible calibration curve: a logistic regression of the outcome on the
// spline of logit p, with 50 points, pointwise 95% limits and the summaries
// of |curve(p) - p| over the episodes (ICI, E50, E90, Emax).
CalibrationCurve calibrationCurve(std::span<const RiskGroup> groups);

// The q-th quantile (0..1) of the values with the given counts, sorted by
// value, interpolating linearly between order statistics as
// (n - 1) q. Empty input: 0.
double weightedQuantile(std::span<const double> sortedValues, std::span<const std::uint64_t> counts,
                        double q);

} // namespace caldrin::audit
