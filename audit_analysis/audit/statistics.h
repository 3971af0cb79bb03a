// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The statistics behind the audit analysis, on plain arrays. Each works on
// one model's counted episodes: risk p (0..1) and outcome y (0 or 1).

#include "audit/auditanalysis.h"
#include "audit/calibration.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

namespace caldrin::audit {

// The 97.5th percentile of the standard normal: Wald 95% intervals.
inline constexpr double kZ975 = 1.959963984540054;

// x with P(chi-square with df degrees of freedom <= x) = probability
// (Boost.Math); std::domain_error outside 0 < probability < 1, df > 0.
double chiSquareQuantile(double probability, double degreesOfFreedom);
// P(chi-square with df degrees of freedom > x) (Boost.Math).
double chiSquareUpperTail(double x, double degreesOfFreedom);

// Exact Poisson 95% limits on `observed` events, divided by `expected`.
Interval poissonRatioInterval(std::uint64_t observed, double expected);

// Wilson's score 95% limits on the proportion events / n, n > 0 (Wilson 1927,
// J Am Stat Assoc 22:209-212). Unlike the Wald interval they stay within
// [0, 1], and they keep close to 95% coverage with few events (Newcombe 1998,
// Stat Med 17:857-872).
Interval wilsonInterval(std::uint64_t events, std::uint64_t n);

// Episodes with the same predicted risk, counted by outcome; a model's
// episodes become a list of these sorted by risk.
struct RiskGroup {
    double risk = 0;
    std::uint64_t events = 0;
    std::uint64_t nonEvents = 0;
};
// Episodes with the outcome, and without it, over all groups.
std::pair<std::uint64_t, std::uint64_t> classSizes(std::span<const RiskGroup> groups);
std::vector<RiskGroup> groupByRisk(std::span<const double> risk,
                                   std::span<const std::uint8_t> outcome);

// Area under the ROC curve (ties count one half) with DeLong's standard error
// (none when a class has fewer than two episodes). Nothing when a class is empty.
struct AurocEstimate {
    double auroc = 0;
    std::optional<double> standardError;
};
std::optional<AurocEstimate> aurocDeLong(std::span<const RiskGroup> groups);

// Observed against expected: O:E with its exact Poisson interval, the
// observed rate with Wilson's interval, unreliable below 5 expected.
ObservedExpected observedExpected(std::uint64_t n, std::uint64_t observed, double expected);

// The AUROC with DeLong's 95% interval (clipped to [0, 1]); unreliable when
// either class has fewer than 5 episodes.
Discrimination discrimination(std::span<const RiskGroup> groups);

// The ROC curve, one point per distinct risk, from (0,0) to (1,1).
std::vector<RocPoint> rocCurve(std::span<const RiskGroup> groups);

// Hosmer-Lemeshow over ten groups of equal size by rank: episode i (in time
// order) has the risk riskOfStep[step[i]], the steps ascending; ties keep
// time order. Rank r of n falls in group floor(10 r / n).
HosmerLemeshow hosmerLemeshowByStep(std::span<const std::uint32_t> step,
                                    std::span<const std::uint8_t> outcome,
                                    std::span<const double> riskOfStep);
// The same from risks as numbers, episodes in time order.
HosmerLemeshow hosmerLemeshow(std::span<const double> risk, std::span<const std::uint8_t> outcome);

// One step of the risk-adjusted CUSUM's weight: log-likelihood ratio of the
// outcome under odds multiplied by `oddsRatio` against the predicted odds.
double cusumWeight(double risk, bool event, double oddsRatio);

// False when no episode of the mix can move the CUSUM up (every risk 0 or 1,
// or an odds ratio of 1): no limit then has a finite run length.
bool riskMixCanSignal(std::span<const RiskGroup> riskMix, double oddsRatio);
inline constexpr std::string_view kCannotSignal =
    "every counted risk is 0 or 1, so the CUSUM can never rise and no limit can be set";

// The simulation's work grows with runs times the run length; above this many
// steps in all it uses fewer runs (never fewer than kFewestSimulationRuns),
// so that the largest run length allowed still ends in seconds.
inline constexpr double kSimulationStepsPlanned = 1e8;
inline constexpr std::uint32_t kFewestSimulationRuns = 50;
std::uint32_t simulationRunsFor(double targetArl, std::uint32_t requestedRuns);

// The control limit whose in-control average run length is `targetArl` for
// episodes drawn from `riskMix` (each risk weighted by its number of
// episodes) with outcomes drawn from their own risks. Nothing when cancelled
// or when the limit cannot be reached within a fixed bound of work.
std::optional<double> simulateCusumLimit(std::span<const RiskGroup> riskMix, double oddsRatio,
                                         double targetArl, std::uint32_t runs, std::uint64_t seed,
                                         const Progress& progress = {});

} // namespace caldrin::audit
