// SPDX-License-Identifier: GPL-3.0-or-later
#include "audit/logisticfit.h"

#include <algorithm>
#include <cmath>

namespace caldrin::audit {

namespace {

constexpr int kMaxIterations = 100;
constexpr double kLargestCoefficient = 1e6;

// log(1 + e^eta) without overflow.
double softplus(double eta) {
    return eta > 0 ? eta + std::log1p(std::exp(-eta)) : std::log1p(std::exp(eta));
}

} // namespace

double expit(double eta) {
    return eta >= 0 ? 1 / (1 + std::exp(-eta)) : std::exp(eta) / (1 + std::exp(eta));
}

double logLikelihood(const GroupedOutcomes& data, const Eigen::VectorXd& beta) {
    const Eigen::VectorXd eta = data.offset + data.design * beta;
    double ll = 0;
    for (Eigen::Index g = 0; g < eta.size(); ++g)
        ll += data.events[g] * eta[g] - data.trials[g] * softplus(eta[g]);
    return ll;
}

Eigen::Index rankOf(const Eigen::MatrixXd& matrix) {
    Eigen::ColPivHouseholderQR<Eigen::MatrixXd> qr(matrix);
    qr.setThreshold(kRankThreshold);
    return qr.rank();
}

LogisticEstimate fitLogistic(const GroupedOutcomes& data, Eigen::VectorXd start) {
    const Eigen::MatrixXd& x = data.design;
    const Eigen::Index rows = x.rows();
    const Eigen::Index columns = x.cols();
    Eigen::VectorXd gradient(columns);
    Eigen::MatrixXd information(columns, columns);
    auto derivatives = [&](const Eigen::VectorXd& beta) {
        const Eigen::VectorXd eta = data.offset + x * beta;
        Eigen::VectorXd residual(rows), weight(rows);
        for (Eigen::Index g = 0; g < rows; ++g) {
            const double mu = expit(eta[g]);
            residual[g] = data.events[g] - data.trials[g] * mu;
            weight[g] = data.trials[g] * mu * (1 - mu);
        }
        gradient.noalias() = x.transpose() * residual;
        information.noalias() = x.transpose() * weight.asDiagonal() * x;
    };

    LogisticEstimate fit;
    Eigen::VectorXd beta = std::move(start);
    double ll = logLikelihood(data, beta);
    fit.logLikelihood = ll;
    if (columns == 0)
        return fit; // nothing to estimate
    double largestCoefficientSeen = 0;
    for (int iteration = 1; iteration <= kMaxIterations; ++iteration) {
        fit.iterations = iteration;
        derivatives(beta);
        Eigen::ColPivHouseholderQR<Eigen::MatrixXd> factor(information);
        factor.setThreshold(kRankThreshold);
        if (factor.rank() < columns) {
            fit.failure =
                iteration == 1 ? FitFailure::SingularAtStart : FitFailure::SingularOnTheWay;
            return fit;
        }
        Eigen::VectorXd step = factor.solve(gradient);
        Eigen::VectorXd next = beta + step;
        double nextLl = logLikelihood(data, next);
        // Halve the step while it lowers the likelihood.
        for (int halving = 0; halving < 30 && !(nextLl >= ll - 1e-12 * std::fabs(ll)); ++halving) {
            step /= 2;
            next = beta + step;
            nextLl = logLikelihood(data, next);
        }
        const double largestStep = step.cwiseAbs().maxCoeff();
        const double change = std::fabs(nextLl - ll);
        beta = next;
        ll = nextLl;
        largestCoefficientSeen = beta.cwiseAbs().maxCoeff();
        if (!std::isfinite(ll) || !(largestCoefficientSeen < kLargestCoefficient))
            break;
        if (largestStep < 1e-10 ||
            (change < 1e-13 * std::max(1.0, std::fabs(ll)) && largestStep < 1e-6)) {
            derivatives(beta);
            Eigen::ColPivHouseholderQR<Eigen::MatrixXd> atEstimate(information);
            atEstimate.setThreshold(kRankThreshold);
            if (atEstimate.rank() < columns) {
                fit.failure = FitFailure::SingularAtEstimate;
                return fit;
            }
            const Eigen::MatrixXd inverse = atEstimate.inverse();
            fit.coefficients = beta;
            fit.covariance = (inverse + inverse.transpose()) / 2;
            fit.logLikelihood = ll;
            return fit;
        }
    }
    fit.failure = std::isfinite(ll) && !(largestCoefficientSeen < kLargestCoefficient)
                      ? FitFailure::Unbounded
                      : FitFailure::NotConverged;
    return fit;
}

} // namespace caldrin::audit
