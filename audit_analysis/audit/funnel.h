// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Funnel plots of units' observed-to-expected ratios against their expected
// counts (Spiegelhalter, Stat Med 2005;24:1185-1202): exact Poisson control
// limits with interpolation, and the multiplicative overdispersion factor.

#include <cstdint>
#include <optional>
#include <span>

namespace caldrin::audit {

// Poisson distribution function P(X <= r) for mean `mean`; 0 when r < 0.
double poissonCdf(std::int64_t r, double mean);

// The limit on O:E at expected count E > 0 for tail probability P: with r the
// smallest whole number for which F(r; E) >= P, and
// a = (F(r; E) - P) / (F(r; E) - F(r - 1; E)), the limit is (r - a) / E,
// or 0 where that would be negative (a lower limit at small E).
double funnelLimit(double expected, double probability);

// The tail probabilities of the two pairs of limits drawn.
inline constexpr double kFunnel95Lower = 0.025;
inline constexpr double kFunnel95Upper = 0.975;
inline constexpr double kFunnel998Lower = 0.001;
inline constexpr double kFunnel998Upper = 0.999;
// The standard normal quantile for 0.999, for the widened 99.8% limits.
inline constexpr double kZ999 = 3.090232306167813;

// phi: the mean of the squared z-scores after winsorising them at their 10th
// and 90th percentiles (linear interpolation between order statistics).
// Nothing for an empty list.
std::optional<double> overdispersion(std::span<const double> zScores);

} // namespace caldrin::audit
