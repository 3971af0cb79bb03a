// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The in-control average run length of the risk-adjusted CUSUM, worked out
// rather than simulated, and the control limit that gives a chosen run length.
//
// The CUSUM S_t = max(0, S_{t-1} + W_t) with the log-likelihood-ratio weights
// W_t of each episode is approximated by a Markov chain on [0, h) cut into M
// equal states (Steiner, Cook, Farewell and Treasure, Biostatistics
// 2000;1:441-452, after Brook and Evans, Biometrika 1972;59:539-549). The
// episodes' weights come from the risk mix: each distinct risk with its share
// of the episodes and, in control, its own risk of the outcome. A chain whose
// states receive a weight rounded to whole states gives run lengths that jump
// about as M changes (Webster and Pettitt, Commun Stat Simul Comput
// 2007;36:471-482); here the CUSUM is taken as spread evenly over its state,
// so that a weight moves it partly into each of the two states it reaches,
// and the run length settles smoothly as M grows. That lets M be chosen by
// comparing the run length with M and 2M states.
//
// The run lengths solve (I - Q) ARL = 1. Q is a band matrix (no weight moves
// the CUSUM further than |log R| + a little) apart from its first column,
// where every fall below 0 lands; the solve splits that column off
// (Sherman-Morrison), so the work grows with M times the band's two widths.

#include "audit/progress.h"

#include <optional>
#include <span>
#include <string>

namespace caldrin::audit {

struct RiskGroup;

// The states the chain starts from and may grow to: the band solve's storage
// is at most kMostChainEntries numbers (16 MiB).
inline constexpr int kFewestChainStates = 128;
inline constexpr std::size_t kMostChainEntries = std::size_t{1} << 21;
// The chain has converged when M and 2M states give run lengths within this
// share of each other.
inline constexpr double kChainTolerance = 0.005;

// The chain's in-control average run length from S = 0 for the limit `limit`
// with `states` states, each risk of the mix weighted by its number of
// episodes. Nothing when the mix cannot move the CUSUM up.
std::optional<double> cusumRunLength(std::span<const RiskGroup> riskMix, double oddsRatio,
                                     double limit, int states);

// The run length for `limit` with M doubled from kFewestChainStates until M
// and 2M states agree within kChainTolerance (the 2M chain's run length).
struct SettledRunLength {
    std::optional<double> runLength; // none when the mix cannot signal or the chain does not fit
    int states = 0;
};
SettledRunLength settledRunLength(std::span<const RiskGroup> riskMix, double oddsRatio,
                                  double limit);

struct ComputedLimit {
    std::optional<double> limit; // none when it cannot be found, see `missing`
    int states = 0;              // of the chain the limit rests on
    std::string missing;         // why there is no limit, in words
    bool cancelled = false;
};

// The control limit h whose in-control average run length is `targetArl`:
// found by secant steps kept inside a bracket (bisection where a secant step
// would leave it) on log ARL with M states; M doubles until M and 2M agree
// within kChainTolerance at that limit, and the limit is then moved by one
// secant step to the 2M chain's run length.
ComputedLimit computeCusumLimit(std::span<const RiskGroup> riskMix, double oddsRatio,
                                double targetArl, const Progress& progress = {});

} // namespace caldrin::audit
