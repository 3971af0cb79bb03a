// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Maximum-likelihood logistic regression on episodes grouped by everything a
// fit uses (a binomial count per group), by Newton-Raphson with the step
// halved while it lowers the likelihood. The calibration fits and a model
// update's candidates both fit with it, so they converge, and fail, alike.
// Eigen is the engine's private dependency: only the engine's own sources
// include this header.

#include <Eigen/Dense>

namespace caldrin::audit {

double expit(double eta);

// Outcomes of groups of episodes alike in the fit's terms.
struct GroupedOutcomes {
    Eigen::MatrixXd design; // one row per group, one column per coefficient
    Eigen::VectorXd offset; // one value per group, added to the linear predictor
    Eigen::VectorXd events;
    Eigen::VectorXd trials;
};

// sum of events * eta - trials * log(1 + e^eta), eta = offset + design * beta.
double logLikelihood(const GroupedOutcomes& data, const Eigen::VectorXd& beta);

// Why a fit has no estimate. The callers say it in their own words.
enum class FitFailure {
    None,
    // The information matrix lost rank at the starting values: columns that
    // cannot be told apart.
    SingularAtStart,
    // ... later on the way: the weights p (1 - p) vanishing as the fitted
    // risks run off towards 0 and 1.
    SingularOnTheWay,
    // ... at the estimate itself.
    SingularAtEstimate,
    // The coefficients grew past 1e6 with the likelihood still finite.
    Unbounded,
    // No convergence in 100 iterations, or a likelihood that is not finite.
    NotConverged,
};

struct LogisticEstimate {
    Eigen::VectorXd coefficients;
    Eigen::MatrixXd covariance; // the inverse information at the estimate
    double logLikelihood = 0;
    int iterations = 0;
    FitFailure failure = FitFailure::None;
};

// Columns whose pivots fall below this share of the largest are taken as
// combinations of the others.
inline constexpr double kRankThreshold = 1e-9;

// The rank of a matrix, by QR with column pivoting.
Eigen::Index rankOf(const Eigen::MatrixXd& matrix);

LogisticEstimate fitLogistic(const GroupedOutcomes& data, Eigen::VectorXd start);

} // namespace caldrin::audit
