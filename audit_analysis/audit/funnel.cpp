// SPDX-License-Identifier: GPL-3.0-or-later

#include "audit/funnel.h"
#include "audit/statistics.h"

#include <boost/math/distributions/poisson.hpp>

#include <algorithm>
#include <cmath>
#include <vector>

namespace caldrin::audit {

double poissonCdf(std::int64_t r, double mean) {
    if (r < 0)
        return 0;
    if (mean <= 0)
        return 1;
    return boost::math::cdf(boost::math::poisson_distribution<double>(mean),
                            static_cast<double>(r));
}

double funnelLimit(double expected, double probability) {
    // r is bracketed, F(below) < P <= F(above), by steps from the mean that
    // double (the answer lies within a few standard deviations of it), and
    // the bracket is then halved: a few dozen evaluations of F at any
    // expected count, where counting up one by one took thousands.
    auto reaches = [&](std::int64_t r) { return poissonCdf(r, expected) >= probability; };
    std::int64_t below = -1; // F(-1) = 0
    auto above = static_cast<std::int64_t>(std::floor(expected));
    std::int64_t step = std::max<std::int64_t>(1, static_cast<std::int64_t>(std::sqrt(expected)));
    if (reaches(above)) {
        for (;; step *= 2) {
            below = std::max<std::int64_t>(-1, above - step);
            if (below < 0 || !reaches(below))
                break;
            above = below;
        }
    } else {
        for (below = above;; step *= 2) {
            above = below + step;
            if (reaches(above))
                break;
            below = above;
        }
    }
    while (above - below > 1) {
        const std::int64_t middle = below + (above - below) / 2;
        (reaches(middle) ? above : below) = middle;
    }
    const std::int64_t r = above;
    const double at = poissonCdf(r, expected);
    const double a = (at - probability) / (at - poissonCdf(r - 1, expected));
    // Below an expected count of about 1 the lower limit would fall under
    // 0, where no ratio can lie.
    return std::max(0.0, (static_cast<double>(r) - a) / expected);
}

std::optional<double> overdispersion(std::span<const double> zScores) {
    if (zScores.empty())
        return std::nullopt;
    std::vector<double> sorted(zScores.begin(), zScores.end());
    std::sort(sorted.begin(), sorted.end());
    auto quantile = [&](double q) {
        const double h = static_cast<double>(sorted.size() - 1) * q;
        const auto below = static_cast<std::size_t>(std::floor(h));
        const double share = h - static_cast<double>(below);
        return below + 1 < sorted.size()
                   ? sorted[below] + share * (sorted[below + 1] - sorted[below])
                   : sorted[below];
    };
    const double low = quantile(0.10);
    const double high = quantile(0.90);
    double sum = 0;
    for (const double z : sorted) {
        const double w = std::clamp(z, low, high);
        sum += w * w;
    }
    return sum / static_cast<double>(sorted.size());
}

} // namespace caldrin::audit
