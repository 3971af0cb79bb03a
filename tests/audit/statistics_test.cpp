// SPDX-License-Identifier: GPL-3.0-or-later

#include "audit/funnel.h"
#include "audit/statistics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace caldrin::audit {
namespace {

// Published table values (exact Poisson limits for a count, chi-square
// percentage points), not values from this code.
TEST(ExactPoissonLimits, MatchPublishedTables) {
    struct Case {
        std::uint64_t observed;
        double lower;
        double upper;
    };
    for (const Case c : {Case{0, 0.0, 3.689}, Case{1, 0.0253, 5.572}, Case{10, 4.795, 18.390},
                         Case{50, 37.11, 65.92}}) {
        const Interval limits = poissonRatioInterval(c.observed, 1.0);
        EXPECT_NEAR(limits.lower, c.lower, 0.001 * std::max(1.0, c.lower)) << c.observed;
        EXPECT_NEAR(limits.upper, c.upper, 0.001 * c.upper) << c.observed;
    }
    const Interval scaled = poissonRatioInterval(10, 4.0);
    EXPECT_NEAR(scaled.lower, 4.795 / 4, 1e-3);
    EXPECT_NEAR(scaled.upper, 18.390 / 4, 1e-3);
}

// Newcombe RG. Two-sided confidence intervals for the single proportion.
// Stat Med 1998;17:857-872, Table II, method 3 (Wilson's score).
TEST(WilsonInterval, MatchesPublishedLimitsAndStaysWithinZeroAndOne) {
    struct Case {
        std::uint64_t events;
        std::uint64_t n;
        double lower;
        double upper;
    };
    for (const Case c : {Case{81, 263, 0.2553, 0.3662}, Case{15, 148, 0.0624, 0.1605},
                         Case{0, 20, 0.0, 0.1611}, Case{1, 29, 0.0061, 0.1718}}) {
        const Interval limits = wilsonInterval(c.events, c.n);
        EXPECT_NEAR(limits.lower, c.lower, 5e-5) << c.events << "/" << c.n;
        EXPECT_NEAR(limits.upper, c.upper, 5e-5) << c.events << "/" << c.n;
    }
    // Every event, or none: the limits end exactly at 1 and 0.
    for (const std::uint64_t n : {1u, 35u, 1000000u}) {
        EXPECT_EQ(wilsonInterval(n, n).upper, 1.0);
        EXPECT_LT(wilsonInterval(n, n).lower, 1.0);
        EXPECT_EQ(wilsonInterval(0, n).lower, 0.0);
    }
}

TEST(ChiSquare, QuantilesAndTailsMatchTablesAndInvertEachOther) {
    struct Case {
        double probability;
        double df;
        double quantile;
    };
    for (const Case c :
         {Case{0.95, 8, 15.507}, Case{0.05, 8, 2.733}, Case{0.975, 2, 7.378}, Case{0.5, 1, 0.4549},
          Case{0.999, 10, 29.588}, Case{0.975, 200, 241.058}}) {
        const double x = chiSquareQuantile(c.probability, c.df);
        EXPECT_NEAR(x, c.quantile, 1e-3 * c.quantile) << c.probability << " " << c.df;
        EXPECT_NEAR(chiSquareUpperTail(x, c.df), 1 - c.probability, 1e-10);
    }
    // Large counts: the tail functions stay exact where the series are long.
    for (const double df : {2.0, 2e3, 2e5})
        for (const double p : {0.025, 0.975})
            EXPECT_NEAR(1 - chiSquareUpperTail(chiSquareQuantile(p, df), df), p, 1e-9) << df;
    EXPECT_THROW(chiSquareQuantile(1.0, 4), std::domain_error);
}

// Ten episodes worked by hand: events at 0.3, 0.5, 0.7, 0.8, 0.9; non-events
// at 0.1, 0.2, 0.4, 0.5, 0.6. Pairs ranked right: 2 + 3.5 + 5 + 5 + 5 = 20.5 of 25.
TEST(Auroc, TenEpisodesWorkedByHand) {
    const std::vector<double> risk = {0.1, 0.2, 0.3, 0.4, 0.5, 0.6, 0.7, 0.8, 0.9, 0.5};
    const std::vector<std::uint8_t> outcome = {0, 0, 1, 0, 1, 0, 1, 1, 1, 0};
    const auto estimate = aurocDeLong(groupByRisk(risk, outcome));
    ASSERT_TRUE(estimate);
    EXPECT_DOUBLE_EQ(estimate->auroc, 0.82);
}

TEST(Auroc, PerfectSeparationIsOneAndAnEmptyClassHasNone) {
    const std::vector<double> risk = {0.1, 0.2, 0.3, 0.6, 0.7};
    const auto perfect = aurocDeLong(groupByRisk(risk, std::vector<std::uint8_t>{0, 0, 0, 1, 1}));
    ASSERT_TRUE(perfect);
    EXPECT_DOUBLE_EQ(perfect->auroc, 1.0);
    EXPECT_DOUBLE_EQ(*perfect->standardError, 0.0);
    EXPECT_FALSE(aurocDeLong(groupByRisk(risk, std::vector<std::uint8_t>{0, 0, 0, 0, 0})));
    // One event: an area, but no variance to estimate.
    const auto single = aurocDeLong(groupByRisk(risk, std::vector<std::uint8_t>{0, 0, 1, 0, 0}));
    ASSERT_TRUE(single);
    EXPECT_DOUBLE_EQ(single->auroc, 0.5);
    EXPECT_FALSE(single->standardError);
}

// DeLong's variance from its definition, pair by pair.
double slowDeLongStandardError(const std::vector<double>& risk,
                               const std::vector<std::uint8_t>& outcome, double& area) {
    std::vector<double> positives, negatives;
    for (std::size_t i = 0; i < risk.size(); ++i)
        (outcome[i] ? positives : negatives).push_back(risk[i]);
    auto psi = [](double x, double y) { return x > y ? 1.0 : x == y ? 0.5 : 0.0; };
    std::vector<double> v10, v01;
    for (const double x : positives) {
        double sum = 0;
        for (const double y : negatives)
            sum += psi(x, y);
        v10.push_back(sum / negatives.size());
    }
    for (const double y : negatives) {
        double sum = 0;
        for (const double x : positives)
            sum += psi(x, y);
        v01.push_back(sum / positives.size());
    }
    area = 0;
    for (const double v : v10)
        area += v / v10.size();
    double s10 = 0, s01 = 0;
    for (const double v : v10)
        s10 += (v - area) * (v - area) / (v10.size() - 1);
    for (const double v : v01)
        s01 += (v - area) * (v - area) / (v01.size() - 1);
    return std::sqrt(s10 / positives.size() + s01 / negatives.size());
}

TEST(Auroc, DeLongVarianceEqualsTheDirectFormula) {
    std::mt19937 engine(7);
    for (int trial = 0; trial < 20; ++trial) {
        std::vector<double> risk;
        std::vector<std::uint8_t> outcome;
        const int n = 8 + trial * 3;
        for (int i = 0; i < n; ++i) {
            // Coarse risks so that ties occur.
            const double p = static_cast<double>(engine() % 12) / 12;
            risk.push_back(p);
            outcome.push_back(static_cast<std::uint8_t>(engine() % 100 < 30 + 40 * p));
        }
        outcome[0] = 0;
        outcome[1] = 1;
        outcome[2] = 0;
        outcome[3] = 1;
        double area = 0;
        const double expected = slowDeLongStandardError(risk, outcome, area);
        const auto estimate = aurocDeLong(groupByRisk(risk, outcome));
        ASSERT_TRUE(estimate);
        EXPECT_NEAR(estimate->auroc, area, 1e-12);
        EXPECT_NEAR(*estimate->standardError, expected, 1e-12);
    }
}

TEST(RocCurve, RunsFromOriginToCornerThroughEachThreshold) {
    const std::vector<double> risk = {0.1, 0.2, 0.3, 0.4};
    const std::vector<std::uint8_t> outcome = {0, 1, 0, 1};
    const auto points = rocCurve(groupByRisk(risk, outcome));
    ASSERT_EQ(points.size(), 5u);
    EXPECT_EQ(points.front().falsePositiveRate, 0);
    EXPECT_EQ(points.front().truePositiveRate, 0);
    EXPECT_DOUBLE_EQ(points[1].threshold, 0.4);
    EXPECT_DOUBLE_EQ(points[1].truePositiveRate, 0.5);
    EXPECT_DOUBLE_EQ(points[2].falsePositiveRate, 0.5);
    EXPECT_EQ(points.back().falsePositiveRate, 1);
    EXPECT_EQ(points.back().truePositiveRate, 1);
}

// Twenty episodes, two per group; worked by hand: groups 0..8 hold
// risks {0.1, 0.1}, ... with one event in group 9 only.
TEST(HosmerLemeshow, GroupsByRankWithTiesInTimeOrder) {
    std::vector<double> risk;
    std::vector<std::uint8_t> outcome;
    for (int i = 0; i < 20; ++i) {
        risk.push_back(0.5);
        outcome.push_back(i >= 18 ? 1 : 0);
    }
    // All risks tie: the ranks follow time order, so the two events (the
    // last two episodes) fall in group 9.
    const HosmerLemeshow hl = hosmerLemeshow(risk, outcome);
    for (int g = 0; g < 9; ++g) {
        EXPECT_EQ(hl.groups[g].n, 2u);
        EXPECT_EQ(hl.groups[g].observed, 0u) << g;
    }
    EXPECT_EQ(hl.groups[9].observed, 2u);
    // Each group: E = 1, n = 2, so each term is (O - 1)^2 / 0.5 = 2.
    ASSERT_TRUE(hl.chiSquare);
    EXPECT_DOUBLE_EQ(*hl.chiSquare, 20.0);
    EXPECT_NEAR(*hl.pValue, 0.01034, 1e-5); // chi-square 20 on 8 df, from tables
    EXPECT_TRUE(hl.unreliable);
}

TEST(HosmerLemeshow, UnevenCountsSplitByFloorOfRank) {
    // n = 15: rank i goes to floor(10 i / 15): sizes 2,1,2,1,2,1,2,1,2,1.
    std::vector<double> risk(15, 0.2);
    std::vector<std::uint8_t> outcome(15, 0);
    const HosmerLemeshow hl = hosmerLemeshow(risk, outcome);
    const std::uint64_t sizes[10] = {2, 1, 2, 1, 2, 1, 2, 1, 2, 1};
    for (int g = 0; g < 10; ++g)
        EXPECT_EQ(hl.groups[g].n, sizes[g]) << g;
}

TEST(Calibration, RecoversTheLogisticModelThatMadeTheOutcomes) {
    // Outcomes drawn with logit(P) = 0.5 + 0.8 logit(p): the fit finds 0.5 and 0.8.
    std::mt19937_64 engine(11);
    std::uniform_real_distribution<double> uniform(0, 1);
    std::vector<double> risk;
    std::vector<std::uint8_t> outcome;
    for (int i = 0; i < 200000; ++i) {
        const double p = std::round((0.01 + 0.6 * uniform(engine)) * 10000) / 10000;
        const double eta = 0.5 + 0.8 * std::log(p / (1 - p));
        risk.push_back(p);
        outcome.push_back(uniform(engine) < 1 / (1 + std::exp(-eta)));
    }
    const Calibration fit = calibrationFit(groupByRisk(risk, outcome));
    ASSERT_TRUE(fit.slope);
    EXPECT_NEAR(*fit.intercept, 0.5, 0.05);
    EXPECT_NEAR(*fit.slope, 0.8, 0.03);
    EXPECT_LT(fit.slopeInterval->lower, *fit.slope);
}

// A fit that cannot be identified gives nothing, with the reason, and never
// its starting values (intercept 0, slope 1 would read as perfect calibration).
TEST(Calibration, NoFitWhereTheDataCannotIdentifyOne) {
    struct Case {
        std::vector<double> risk;
        std::vector<std::uint8_t> outcome;
        std::string reason;
    };
    const std::vector<Case> cases = {
        {std::vector<double>(6, 0.10), {1, 0, 1, 0, 1, 0}, "the same predicted risk"},
        {{0.1, 0.2, 0.3, 0.6, 0.7}, {0, 0, 0, 1, 1}, "separated completely"},
        {{0.1, 0.2, 0.3, 0.6, 0.7}, {1, 1, 0, 0, 0}, "separated completely"},
        // Quasi-complete: events and non-events meet only at one risk.
        {{0.1, 0.2, 0.2, 0.6}, {0, 0, 1, 1}, "separated completely"},
        {{0.1, 0.2, 0.3, 0.6, 0.7}, {1, 1, 1, 1, 1}, "every episode had the event"},
        {{0.1, 0.2}, {0, 0}, "no episode had the event"},
    };
    for (const Case& c : cases) {
        const Calibration fit = calibrationFit(groupByRisk(c.risk, c.outcome));
        EXPECT_FALSE(fit.slope) << c.reason;
        EXPECT_FALSE(fit.intercept) << c.reason;
        EXPECT_FALSE(fit.slopeInterval) << c.reason;
        EXPECT_NE(fit.missing.find(c.reason), std::string::npos) << fit.missing;
        // Nor a flexible calibration curve.
        const CalibrationCurve curve = calibrationCurve(groupByRisk(c.risk, c.outcome));
        EXPECT_FALSE(curve.ici) << c.reason;
        EXPECT_FALSE(curve.missing.empty());
    }
}

// Nearly separated: the classes overlap only at two risks, so the straight
// recalibration line has an estimate, but the spline can bend to give the
// risks below the overlap 0 and those above it 1. The fit then fails for
// separation, and says so, not for a design whose columns are distinct.
TEST(Calibration, ASplineDefeatedByNearSeparationSaysSo) {
    std::vector<double> risk;
    std::vector<std::uint8_t> outcome;
    const double risks[] = {0.02, 0.05, 0.1, 0.2, 0.3, 0.5, 0.7, 0.9};
    for (std::size_t r = 0; r < 8; ++r)
        for (int i = 0; i < 10; ++i) {
            risk.push_back(risks[r]);
            outcome.push_back(r >= 5 || (r >= 3 && i % 2 == 0) ? 1 : 0);
        }
    const std::vector<RiskGroup> groups = groupByRisk(risk, outcome);
    EXPECT_TRUE(calibrationFit(groups).slope) << calibrationFit(groups).missing;
    const CalibrationCurve curve = calibrationCurve(groups);
    EXPECT_FALSE(curve.ici);
    EXPECT_NE(curve.missing.find("separated"), std::string::npos) << curve.missing;
    EXPECT_EQ(curve.missing.find("cannot be told apart"), std::string::npos) << curve.missing;
}

// With the slope fixed at 1 the fit needs only both classes: six episodes at
// p = 0.10 with three deaths give alpha = logit(0.5) - logit(0.1) = ln 9, with
// standard error 1 / sqrt(6 x 0.5 x 0.5).
TEST(Calibration, InTheLargeWorkedByHand) {
    const std::vector<double> risk(6, 0.10);
    const Calibration fit =
        calibrationFit(groupByRisk(risk, std::vector<std::uint8_t>{1, 0, 1, 0, 1, 0}));
    ASSERT_TRUE(fit.inTheLarge);
    EXPECT_NEAR(*fit.inTheLarge, std::log(9.0), 1e-10);
    const double se = 1 / std::sqrt(1.5);
    EXPECT_NEAR(fit.inTheLargeInterval->lower, std::log(9.0) - 1.959963984540054 * se, 1e-9);
    EXPECT_NEAR(fit.inTheLargeInterval->upper, std::log(9.0) + 1.959963984540054 * se, 1e-9);
    const Calibration none = calibrationFit(groupByRisk(risk, std::vector<std::uint8_t>(6, 0)));
    EXPECT_FALSE(none.inTheLarge);
    EXPECT_EQ(none.inTheLargeMissing.find("no episode had the event"), 0u);
}

TEST(CusumWeight, IsTheLogLikelihoodRatio) {
    // p = 0.2, R = 2: event log(2 / 1.2), no event -log(1.2).
    EXPECT_NEAR(cusumWeight(0.2, true, 2), std::log(2 / 1.2), 1e-15);
    EXPECT_NEAR(cusumWeight(0.2, false, 2), -std::log(1.2), 1e-15);
    EXPECT_DOUBLE_EQ(cusumWeight(0.0, false, 2), 0.0);
}

// Run lengths of the CUSUM with limit h, from S = 0 until S >= h, outcomes
// drawn from their own risks.
double meanRunLength(const std::vector<double>& risks, double oddsRatio, double h, int runs,
                     std::uint64_t seed) {
    std::mt19937_64 engine(seed);
    std::uniform_real_distribution<double> uniform(0, 1);
    std::uniform_int_distribution<std::size_t> pick(0, risks.size() - 1);
    double total = 0;
    for (int r = 0; r < runs; ++r) {
        double s = 0;
        std::uint64_t t = 0;
        while (s < h) {
            const double p = risks[pick(engine)];
            s = std::max(0.0, s + cusumWeight(p, uniform(engine) < p, oddsRatio));
            ++t;
        }
        total += static_cast<double>(t);
    }
    return total / runs;
}

TEST(CusumLimit, GivesTheChosenRunLengthAndIsReproducible) {
    std::vector<double> risks;
    for (int i = 0; i < 50; ++i)
        risks.push_back(0.01 + 0.006 * i);
    std::vector<std::uint8_t> none(risks.size(), 0);
    const auto groups = groupByRisk(risks, none);
    const auto limit = simulateCusumLimit(groups, 2.0, 500, 2000, 42);
    ASSERT_TRUE(limit);
    EXPECT_EQ(simulateCusumLimit(groups, 2.0, 500, 2000, 42), limit);
    // An independent simulation with another generator finds the same run length.
    const double arl = meanRunLength(risks, 2.0, *limit, 3000, 99);
    EXPECT_NEAR(arl, 500, 50);
    // A longer run length needs a higher limit.
    EXPECT_GT(*simulateCusumLimit(groups, 2.0, 2000, 500, 42), *limit);
}

TEST(CusumLimit, SaysAtOnceWhenTheMixCanNeverSignal) {
    const std::vector<std::vector<double>> mixes = {{0.0}, {1.0, 1.0}, {0.0, 1.0, 0.0}};
    for (const auto& risks : mixes) {
        const auto groups = groupByRisk(risks, std::vector<std::uint8_t>(risks.size(), 0));
        EXPECT_FALSE(riskMixCanSignal(groups, 2.0));
        EXPECT_FALSE(riskMixCanSignal(groups, 0.5));
        EXPECT_FALSE(simulateCusumLimit(groups, 2.0, 1e4, 2000, 1));
    }
    const std::vector<double> one{0.0, 0.0001};
    EXPECT_TRUE(riskMixCanSignal(groupByRisk(one, std::vector<std::uint8_t>{0, 0}), 2.0));
}

// Long run lengths are simulated with fewer runs, so that the work stays
// bounded; the limit then moves by little.
TEST(CusumLimit, FewerRunsForLongRunLengthsKeepTheLimitClose) {
    EXPECT_EQ(simulationRunsFor(1e4, 2000), 2000u);
    for (const double arl : {1e5, 1e6}) {
        EXPECT_LE(simulationRunsFor(arl, 2000) * arl, kSimulationStepsPlanned);
        EXPECT_GE(simulationRunsFor(arl, 2000), kFewestSimulationRuns);
    }
    std::vector<double> risks;
    for (int i = 0; i < 50; ++i)
        risks.push_back(0.01 + 0.006 * i);
    const auto groups = groupByRisk(risks, std::vector<std::uint8_t>(risks.size(), 0));
    const auto many = simulateCusumLimit(groups, 2.0, 5000, 2000, 42);
    const auto few = simulateCusumLimit(groups, 2.0, 5000, kFewestSimulationRuns, 42);
    ASSERT_TRUE(many && few);
    EXPECT_NEAR(*few, *many, 0.05 * *many);
}

TEST(CusumLimit, CancelStopsTheSimulation) {
    std::vector<double> risks(10, 0.05);
    const auto groups = groupByRisk(risks, std::vector<std::uint8_t>(10, 0));
    const Progress cancel = [](std::string_view, std::uint64_t, std::uint64_t) { return false; };
    EXPECT_FALSE(simulateCusumLimit(groups, 2.0, 1e5, 2000, 1, cancel));
}

} // namespace
} // namespace caldrin::audit

namespace caldrin::audit {
namespace {

// The spline's columns at hand-picked knots 0, 1, 2, 3: at x = 2.5 the first
// term is (2.5^3 - 0.5^3 x 3) / 9, the second (1.5^3 - 0.5^3 x 2) / 9.
TEST(Calibration, SplineBasisAndKnots) {
    const std::vector<double> knots = {0, 1, 2, 3};
    const std::vector<double> at = splineBasis(2.5, knots);
    ASSERT_EQ(at.size(), 3u);
    EXPECT_DOUBLE_EQ(at[0], 2.5);
    EXPECT_NEAR(at[1], (15.625 - 0.375) / 9, 1e-12);
    EXPECT_NEAR(at[2], (3.375 - 0.25) / 9, 1e-12);
    // Linear beyond the last knot: the second difference vanishes.
    const auto b4 = splineBasis(4, knots), b5 = splineBasis(5, knots), b6 = splineBasis(6, knots);
    EXPECT_NEAR(b6[1] - 2 * b5[1] + b4[1], 0.0, 1e-9);

    // Percentiles interpolate between order statistics: ranks (n - 1) q.
    const std::vector<double> values = {1, 2, 3};
    const std::vector<std::uint64_t> counts = {1, 2, 1}; // 1, 2, 2, 3
    EXPECT_DOUBLE_EQ(weightedQuantile(values, counts, 0.5), 2.0);
    EXPECT_DOUBLE_EQ(weightedQuantile(values, counts, 0.9), 2.7);
    // Two distinct risks give no four or three distinct knots.
    const std::vector<double> two = {0.1, 0.1, 0.1, 0.2, 0.2};
    EXPECT_TRUE(splineKnots(groupByRisk(two, std::vector<std::uint8_t>(5, 0))).empty());
}

// phi from z-scores winsorised at their 10th and 90th percentiles: of
// -3, -1, 0 x 7, 4 the 10th is -1.2 and the 90th 0.4 (ranks 0.9 and 8.1).
TEST(Funnel, OverdispersionWinsorisesTheZScores) {
    const std::vector<double> z = {4, -3, 0, 0, 0, -1, 0, 0, 0, 0};
    EXPECT_NEAR(*overdispersion(z), (1.2 * 1.2 + 1 + 0.4 * 0.4) / 10, 1e-12);
    EXPECT_FALSE(overdispersion({}));
    // No limit below 0, and the limits close in on 1 as E grows.
    EXPECT_EQ(funnelLimit(0.5, kFunnel998Lower), 0.0);
    EXPECT_LT(funnelLimit(1000, kFunnel95Upper), funnelLimit(100, kFunnel95Upper));
}

} // namespace
} // namespace caldrin::audit
