// SPDX-License-Identifier: GPL-3.0-or-later

#include "audit/calibration.h"
#include "audit/statistics.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace caldrin::audit {

namespace {

constexpr int kMaxIterations = 100;
constexpr double kLargestCoefficient = 1e6;

double expit(double eta) {
    return eta >= 0 ? 1 / (1 + std::exp(-eta)) : std::exp(eta) / (1 + std::exp(eta));
}

// log(1 + e^eta) without overflow.
double softplus(double eta) {
    return eta > 0 ? eta + std::log1p(std::exp(-eta)) : std::log1p(std::exp(eta));
}

// A symmetric positive definite k x k matrix (row-major) factored as L L'.
// Fails when a pivot vanishes against its own diagonal entry, which is how a
// column that is a combination of the others shows.
class Cholesky {
public:
    explicit Cholesky(std::vector<double> matrix, std::size_t k)
        : l_(std::move(matrix))
        , k_(k) {
        for (std::size_t j = 0; j < k_; ++j) {
            const double diagonal = l_[j * k_ + j];
            double d = diagonal;
            for (std::size_t c = 0; c < j; ++c)
                d -= l_[j * k_ + c] * l_[j * k_ + c];
            if (!(d > 1e-11 * diagonal) || !std::isfinite(d)) {
                ok_ = false;
                return;
            }
            l_[j * k_ + j] = std::sqrt(d);
            for (std::size_t r = j + 1; r < k_; ++r) {
                double s = l_[r * k_ + j];
                for (std::size_t c = 0; c < j; ++c)
                    s -= l_[r * k_ + c] * l_[j * k_ + c];
                l_[r * k_ + j] = s / l_[j * k_ + j];
            }
        }
    }
    bool ok() const { return ok_; }

    std::vector<double> solve(std::vector<double> b) const {
        for (std::size_t r = 0; r < k_; ++r) {
            for (std::size_t c = 0; c < r; ++c)
                b[r] -= l_[r * k_ + c] * b[c];
            b[r] /= l_[r * k_ + r];
        }
        for (std::size_t r = k_; r-- > 0;) {
            for (std::size_t c = r + 1; c < k_; ++c)
                b[r] -= l_[c * k_ + r] * b[c];
            b[r] /= l_[r * k_ + r];
        }
        return b;
    }

    std::vector<double> inverse() const {
        std::vector<double> result(k_ * k_);
        for (std::size_t c = 0; c < k_; ++c) {
            std::vector<double> unit(k_, 0.0);
            unit[c] = 1;
            const std::vector<double> column = solve(unit);
            for (std::size_t r = 0; r < k_; ++r)
                result[r * k_ + c] = column[r];
        }
        return result;
    }

private:
    std::vector<double> l_;
    std::size_t k_;
    bool ok_ = true;
};

// A logistic regression on episodes grouped by risk: `design` holds k
// columns per group (row-major), `offset` one value per group (or none).
struct LogisticFit {
    std::vector<double> coefficients;
    std::vector<double> covariance; // k x k, the inverse information at the estimate
    int iterations = 0;
    std::string problem; // why there is no estimate; empty when there is
};

// Why the information of a logistic fit cannot be inverted. Its weights are
// n p (1 - p): with the episodes' counts alone in their place, a design whose
// columns are distinct factors well, and the weights are what vanished, as
// they do when the fitted risks reach 0 or 1 where the events and
// non-events are (nearly) separated.
std::string singularFitReason(std::span<const RiskGroup> groups, std::span<const double> design,
                              std::size_t k) {
    std::vector<double> gram(k * k, 0.0);
    for (std::size_t g = 0; g < groups.size(); ++g) {
        const double n = static_cast<double>(groups[g].events + groups[g].nonEvents);
        const double* x = &design[g * k];
        for (std::size_t r = 0; r < k; ++r)
            for (std::size_t c = 0; c < k; ++c)
                gram[r * k + c] += n * x[r] * x[c];
    }
    if (Cholesky(std::move(gram), k).ok())
        return "the events and non-events are (nearly) separated: the fitted risks reach 0 or 1, "
               "so the fit has no finite solution";
    return "the fit is singular: its columns cannot be told apart in these episodes";
}

LogisticFit fitLogistic(std::span<const RiskGroup> groups, std::span<const double> design,
                        std::size_t k, std::span<const double> offset, std::vector<double> start) {
    const std::size_t rows = groups.size();
    auto eta = [&](const std::vector<double>& beta, std::size_t g) {
        double value = offset.empty() ? 0.0 : offset[g];
        for (std::size_t c = 0; c < k; ++c)
            value += design[g * k + c] * beta[c];
        return value;
    };
    auto logLikelihood = [&](const std::vector<double>& beta) {
        double ll = 0;
        for (std::size_t g = 0; g < rows; ++g) {
            const double e = eta(beta, g);
            ll += static_cast<double>(groups[g].events) * e -
                  static_cast<double>(groups[g].events + groups[g].nonEvents) * softplus(e);
        }
        return ll;
    };
    // Gradient and information at beta.
    auto derivatives = [&](const std::vector<double>& beta, std::vector<double>& gradient,
                           std::vector<double>& information) {
        gradient.assign(k, 0.0);
        information.assign(k * k, 0.0);
        for (std::size_t g = 0; g < rows; ++g) {
            const double mu = expit(eta(beta, g));
            const double n = static_cast<double>(groups[g].events + groups[g].nonEvents);
            const double residual = static_cast<double>(groups[g].events) - n * mu;
            const double w = n * mu * (1 - mu);
            const double* x = &design[g * k];
            for (std::size_t r = 0; r < k; ++r) {
                gradient[r] += residual * x[r];
                for (std::size_t c = 0; c <= r; ++c)
                    information[r * k + c] += w * x[r] * x[c];
            }
        }
        for (std::size_t r = 0; r < k; ++r)
            for (std::size_t c = r + 1; c < k; ++c)
                information[r * k + c] = information[c * k + r];
    };

    LogisticFit fit;
    double largestCoefficientSeen = 0;
    std::vector<double> beta = std::move(start);
    double ll = logLikelihood(beta);
    std::vector<double> gradient, information;
    for (int iteration = 1; iteration <= kMaxIterations; ++iteration) {
        derivatives(beta, gradient, information);
        const Cholesky factor(information, k);
        if (!factor.ok()) {
            fit.problem = singularFitReason(groups, design, k);
            return fit;
        }
        std::vector<double> step = factor.solve(gradient);
        std::vector<double> next(k);
        auto advance = [&] {
            for (std::size_t c = 0; c < k; ++c)
                next[c] = beta[c] + step[c];
        };
        advance();
        double nextLl = logLikelihood(next);
        // Halve the step while it lowers the likelihood.
        for (int halving = 0; halving < 30 && !(nextLl >= ll - 1e-12 * std::fabs(ll)); ++halving) {
            for (double& s : step)
                s /= 2;
            advance();
            nextLl = logLikelihood(next);
        }
        double largestStep = 0;
        double largestCoefficient = 0;
        for (std::size_t c = 0; c < k; ++c) {
            largestStep = std::max(largestStep, std::fabs(step[c]));
            largestCoefficient = std::max(largestCoefficient, std::fabs(next[c]));
        }
        const double change = std::fabs(nextLl - ll);
        beta = next;
        ll = nextLl;
        largestCoefficientSeen = largestCoefficient;
        if (!std::isfinite(ll) || !(largestCoefficient < kLargestCoefficient))
            break;
        if (largestStep < 1e-10 ||
            (change < 1e-13 * std::max(1.0, std::fabs(ll)) && largestStep < 1e-6)) {
            derivatives(beta, gradient, information);
            const Cholesky atEstimate(information, k);
            if (!atEstimate.ok()) {
                fit.problem = singularFitReason(groups, design, k);
                return fit;
            }
            fit.coefficients = beta;
            fit.covariance = atEstimate.inverse();
            fit.iterations = iteration;
            return fit;
        }
    }
    fit.problem = std::isfinite(ll) && !(largestCoefficientSeen < kLargestCoefficient)
                      ? "the fit did not converge: its coefficients grow without bound, as they "
                        "do where the events and non-events are (nearly) separated"
                      : "the fit did not converge";
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
    constexpr double kClamp = 1e-6;
    p = std::clamp(p, kClamp, 1 - kClamp);
    return std::log(p / (1 - p));
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
            result.inTheLargeInterval = wald(fit.coefficients[0], fit.covariance[0]);
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
    result.interceptInterval = wald(fit.coefficients[0], fit.covariance[0]);
    result.slopeInterval = wald(fit.coefficients[1], fit.covariance[3]);
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
    // The linear predictor and its standard error at x.
    auto predict = [&](double x, double& se) {
        std::vector<double> row{1};
        for (const double b : splineBasis(x, knots))
            row.push_back(b);
        double eta = 0;
        double variance = 0;
        for (std::size_t r = 0; r < k; ++r) {
            eta += row[r] * fit.coefficients[r];
            for (std::size_t c = 0; c < k; ++c)
                variance += row[r] * fit.covariance[r * k + c] * row[c];
        }
        se = std::sqrt(std::max(0.0, variance));
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
