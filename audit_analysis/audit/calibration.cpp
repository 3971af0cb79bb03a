// SPDX-License-Identifier: GPL-3.0-or-later

#include "audit/calibration.h"
#include "audit/logisticfit.h"
#include "audit/statistics.h"
#include "modelupdate/modelupdate.h"

#include <Eigen/Dense>

#include <algorithm>
#include <cmath>
#include <limits>

namespace caldrin::audit {

namespace {

// A logistic regression on episodes grouped by risk: `design` holds k
// columns per group (row-major), `offset` one value per group (or none).
struct LogisticFit {
    std::vector<double> coefficients;
    Eigen::MatrixXd covariance; // k x k, the inverse information at the estimate
    int iterations = 0;
    std::string problem; // why there is no estimate; empty when there is
};

// Why the information X' W X of a logistic fit has lost rank. Its weights are
// n p (1 - p): with the episodes' counts alone in their place, a design whose
// columns are distinct keeps its full rank, and the weights are what
// vanished, as they do when the fitted risks reach 0 or 1 where the events
// and non-events are (nearly) separated.
std::string singularFitReason(const Eigen::VectorXd& episodes, const Eigen::MatrixXd& x) {
    if (rankOf(episodes.cwiseSqrt().asDiagonal() * x) == x.cols())
        return "the events and non-events are (nearly) separated: the fitted risks reach 0 or 1, "
               "so the fit has no finite solution";
    return "the fit is singular: its columns cannot be told apart in these episodes";
}

LogisticFit fitLogistic(std::span<const RiskGroup> groups, std::span<const double> design,
                        std::size_t k, std::span<const double> offset, std::vector<double> start) {
    const auto rows = static_cast<Eigen::Index>(groups.size());
    const auto columns = static_cast<Eigen::Index>(k);
    GroupedOutcomes data;
    data.design =
        Eigen::Map<const Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, Eigen::RowMajor>>(
            design.data(), rows, columns);
    data.offset = Eigen::VectorXd::Zero(rows);
    data.events.resize(rows);
    data.trials.resize(rows);
    for (Eigen::Index g = 0; g < rows; ++g) {
        data.events[g] = static_cast<double>(groups[g].events);
        data.trials[g] = static_cast<double>(groups[g].events + groups[g].nonEvents);
        if (!offset.empty())
            data.offset[g] = offset[g];
    }
    const LogisticEstimate estimate =
        audit::fitLogistic(data, Eigen::Map<const Eigen::VectorXd>(start.data(), columns));
    LogisticFit fit;
    fit.iterations = estimate.iterations;
    switch (estimate.failure) {
    case FitFailure::None:
        fit.coefficients.assign(estimate.coefficients.data(),
                                estimate.coefficients.data() + columns);
        fit.covariance = estimate.covariance;
        break;
    case FitFailure::SingularAtStart:
    case FitFailure::SingularOnTheWay:
    case FitFailure::SingularAtEstimate:
        fit.problem = singularFitReason(data.trials, data.design);
        break;
    case FitFailure::Unbounded:
        fit.problem = "the fit did not converge: its coefficients grow without bound, as they "
                      "do where the events and non-events are (nearly) separated";
        break;
    case FitFailure::NotConverged:
        fit.problem = "the fit did not converge";
        break;
    }
    return fit;
}

Interval wald(double estimate, double variance) {
    const double se = std::sqrt(variance);
    return {estimate - kZ975 * se, estimate + kZ975 * se};
}

std::string classObstacle(std::span<const RiskGroup> groups) {
    const auto [positives, negatives] = classSizes(groups);
    if (positives == 0 && negatives == 0)
        return "there are no episodes to fit";
    if (positives == 0)
        return "no episode had the event, so there is nothing to fit";
    if (negatives == 0)
        return "every episode had the event, so there is nothing to fit";
    return {};
}

} // namespace

double clampedLogit(double p) {
    return modelupdate::clampedLogit(p);
}

std::string calibrationFitObstacle(std::span<const RiskGroup> groups) {
    if (std::string obstacle = classObstacle(groups); !obstacle.empty())
        return obstacle;
    constexpr double kInf = std::numeric_limits<double>::infinity();
    double lowest = kInf, highest = -kInf;
    double lowestEvent = kInf, highestEvent = -kInf;
    double lowestNonEvent = kInf, highestNonEvent = -kInf;
    for (const RiskGroup& g : groups) {
        const double x = clampedLogit(g.risk);
        lowest = std::min(lowest, x);
        highest = std::max(highest, x);
        if (g.events > 0) {
            lowestEvent = std::min(lowestEvent, x);
            highestEvent = std::max(highestEvent, x);
        }
        if (g.nonEvents > 0) {
            lowestNonEvent = std::min(lowestNonEvent, x);
            highestNonEvent = std::max(highestNonEvent, x);
        }
    }
    if (lowest == highest)
        return "every counted episode has the same predicted risk, so no slope can be estimated";
    if (highestNonEvent <= lowestEvent)
        return "the events and non-events are separated completely by the predicted risk (every "
               "event at or above every non-event), so the fit has no finite solution";
    if (highestEvent <= lowestNonEvent)
        return "the events and non-events are separated completely by the predicted risk (every "
               "event at or below every non-event), so the fit has no finite solution";
    return {};
}

Calibration calibrationFit(std::span<const RiskGroup> groups) {
    Calibration result;
    std::vector<double> x(groups.size());
    for (std::size_t g = 0; g < groups.size(); ++g)
        x[g] = clampedLogit(groups[g].risk);

    // Calibration-in-the-large: the intercept alone, slope fixed at 1.
    result.inTheLargeMissing = classObstacle(groups);
    if (result.inTheLargeMissing.empty()) {
        const std::vector<double> ones(groups.size(), 1.0);
        const LogisticFit fit = fitLogistic(groups, ones, 1, x, {0.0});
        if (fit.problem.empty()) {
            result.inTheLarge = fit.coefficients[0];
            result.inTheLargeInterval = wald(fit.coefficients[0], fit.covariance(0, 0));
        } else {
            result.inTheLargeMissing = fit.problem;
        }
    }

    // Recalibration: intercept and slope, started from perfect calibration.
    result.missing = calibrationFitObstacle(groups);
    if (!result.missing.empty())
        return result;
    std::vector<double> design(2 * groups.size());
    for (std::size_t g = 0; g < groups.size(); ++g) {
        design[2 * g] = 1;
        design[2 * g + 1] = x[g];
    }
    const LogisticFit fit = fitLogistic(groups, design, 2, {}, {0.0, 1.0});
    if (!fit.problem.empty()) {
        result.missing = fit.problem;
        return result;
    }
    result.intercept = fit.coefficients[0];
    result.slope = fit.coefficients[1];
    result.interceptInterval = wald(fit.coefficients[0], fit.covariance(0, 0));
    result.slopeInterval = wald(fit.coefficients[1], fit.covariance(1, 1));
    result.iterations = fit.iterations;
    return result;
}

double weightedQuantile(std::span<const double> sortedValues, std::span<const std::uint64_t> counts,
                        double q) {
    std::uint64_t n = 0;
    for (const std::uint64_t c : counts)
        n += c;
    if (n == 0)
        return 0;
    const double h = static_cast<double>(n - 1) * q;
    const auto below = static_cast<std::uint64_t>(std::floor(h));
    const double share = h - static_cast<double>(below);
    // The values at 0-based ranks `below` and `below + 1`.
    auto at = [&](std::uint64_t rank) {
        std::uint64_t seen = 0;
        for (std::size_t i = 0; i < sortedValues.size(); ++i) {
            seen += counts[i];
            if (rank < seen)
                return sortedValues[i];
        }
        return sortedValues.back();
    };
    const double low = at(below);
    return share > 0 ? low + share * (at(below + 1) - low) : low;
}

std::vector<double> splineKnots(std::span<const RiskGroup> groups) {
    std::vector<double> x;
    std::vector<std::uint64_t> counts;
    for (const RiskGroup& g : groups) {
        if (g.events + g.nonEvents == 0)
            continue;
        x.push_back(clampedLogit(g.risk));
        counts.push_back(g.events + g.nonEvents);
    }
    auto knotsAt = [&](std::initializer_list<double> quantiles) {
        std::vector<double> knots;
        for (const double q : quantiles) {
            const double t = weightedQuantile(x, counts, q);
            if (!knots.empty() && !(t > knots.back()))
                return std::vector<double>{};
            knots.push_back(t);
        }
        return knots;
    };
    if (x.empty())
        return {};
    if (auto four = knotsAt({0.05, 0.35, 0.65, 0.95}); !four.empty())
        return four;
    return knotsAt({0.10, 0.50, 0.90});
}

std::vector<double> splineBasis(double x, std::span<const double> knots) {
    const std::size_t k = knots.size();
    std::vector<double> basis{x};
    const double last = knots[k - 1];
    const double nextToLast = knots[k - 2];
    const double scale = (last - knots[0]) * (last - knots[0]);
    auto cube = [](double v) { return v > 0 ? v * v * v : 0.0; };
    for (std::size_t j = 0; j + 2 < k; ++j) {
        const double t = knots[j];
        basis.push_back((cube(x - t) - cube(x - nextToLast) * (last - t) / (last - nextToLast) +
                         cube(x - last) * (nextToLast - t) / (last - nextToLast)) /
                        scale);
    }
    return basis;
}

CalibrationCurve calibrationCurve(std::span<const RiskGroup> groups) {
    CalibrationCurve curve;
    curve.missing = calibrationFitObstacle(groups);
    if (!curve.missing.empty())
        return curve;
    const std::vector<double> knots = splineKnots(groups);
    if (knots.empty()) {
        curve.missing = "the predicted risks take too few distinct values for three knots";
        return curve;
    }
    // Columns: the intercept, x, and the spline terms.
    const std::size_t k = knots.size();
    std::vector<double> design;
    design.reserve(groups.size() * k);
    for (const RiskGroup& g : groups) {
        design.push_back(1);
        for (const double b : splineBasis(clampedLogit(g.risk), knots))
            design.push_back(b);
    }
    std::vector<double> start(k, 0.0);
    start[1] = 1; // perfect calibration
    const LogisticFit fit = fitLogistic(groups, design, k, {}, start);
    if (!fit.problem.empty()) {
        curve.missing = fit.problem;
        return curve;
    }
    curve.knots = knots;
    const Eigen::Map<const Eigen::VectorXd> coefficients(fit.coefficients.data(),
                                                         static_cast<Eigen::Index>(k));
    // The linear predictor and its standard error at x.
    auto predict = [&](double x, double& se) {
        Eigen::VectorXd row(static_cast<Eigen::Index>(k));
        row[0] = 1;
        const std::vector<double> basis = splineBasis(x, knots);
        for (std::size_t c = 0; c < basis.size(); ++c)
            row[static_cast<Eigen::Index>(c + 1)] = basis[c];
        const double eta = row.dot(coefficients);
        se = std::sqrt(std::max(0.0, row.dot(fit.covariance * row)));
        return eta;
    };

    const double from = clampedLogit(groups.front().risk);
    const double to = clampedLogit(groups.back().risk);
    constexpr int kPoints = CalibrationCurve::kPoints;
    for (int i = 0; i < kPoints; ++i) {
        const double x = from + (to - from) * i / (kPoints - 1);
        double se = 0;
        const double eta = predict(x, se);
        curve.points.push_back(
            {expit(x), expit(eta), expit(eta - kZ975 * se), expit(eta + kZ975 * se)});
    }

    // |curve(p) - p| over the episodes, by group.
    std::vector<std::pair<double, std::uint64_t>> differences;
    double sum = 0;
    std::uint64_t n = 0;
    for (const RiskGroup& g : groups) {
        const std::uint64_t count = g.events + g.nonEvents;
        double se = 0;
        const double difference = std::fabs(expit(predict(clampedLogit(g.risk), se)) - g.risk);
        differences.emplace_back(difference, count);
        sum += static_cast<double>(count) * difference;
        n += count;
    }
    std::sort(differences.begin(), differences.end());
    std::vector<double> values;
    std::vector<std::uint64_t> counts;
    for (const auto& [value, count] : differences) {
        values.push_back(value);
        counts.push_back(count);
    }
    curve.ici = sum / static_cast<double>(n);
    curve.e50 = weightedQuantile(values, counts, 0.5);
    curve.e90 = weightedQuantile(values, counts, 0.9);
    curve.emax = values.back();
    return curve;
}

} // namespace caldrin::audit
