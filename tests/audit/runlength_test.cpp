// SPDX-License-Identifier: GPL-3.0-or-later
// The risk-adjusted CUSUM's run length worked out by a Markov chain: against a
// case worked by hand, a long independent simulation, and the limit it finds.

#include "audit/runlength.h"
#include "audit/statistics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace caldrin::audit {
namespace {

// The two risk mixes of bench/audit/cusum_simulation.cpp: elective surgery
// (mostly risks of a few per cent) and emergency surgery.
const std::vector<RiskGroup> kElective = {{0.005, 0, 300}, {0.01, 0, 400}, {0.02, 0, 250},
                                          {0.03, 0, 150},  {0.05, 0, 80},  {0.08, 0, 40},
                                          {0.12, 0, 20}};
const std::vector<RiskGroup> kEmergency = {{0.05, 0, 50}, {0.1, 0, 100},  {0.2, 0, 150},
                                           {0.3, 0, 150}, {0.45, 0, 100}, {0.6, 0, 60},
                                           {0.8, 0, 30}};

// With one state, [0, h) itself, the CUSUM stays unless a move carries it
// past h: spread evenly over [0, h) and moved by w (0 < w < h), the share w / h
// of it passes. Risks 0.1 and 0.4 in equal numbers, R = 2, h = 1: the event
// weights are log(2 / 1.1) = 0.597837 and log(2 / 1.4) = 0.356675, so a run
// ends each step with chance 0.5 (0.1 * 0.597837 + 0.4 * 0.356675) = 0.101227,
// and its mean length is 1 / 0.101227 = 9.87880.
TEST(MarkovRunLength, OneStateWorkedByHand) {
    const std::vector<RiskGroup> mix = {{0.1, 0, 1}, {0.4, 0, 1}};
    const double signal = 0.5 * (0.1 * std::log(2 / 1.1) + 0.4 * std::log(2 / 1.4));
    EXPECT_NEAR(*cusumRunLength(mix, 2.0, 1.0, 1), 1 / signal, 1e-12);
    EXPECT_NEAR(1 / signal, 9.87880, 1e-5);
}

// Mean run lengths of 10^5 simulated runs each (bench/audit/cusum_simulation
// MIX R 100000 20261211 3 4.5 6; standard errors about 0.3%), harm for both
// mixes and improvement for the emergency one.
struct Simulated {
    const std::vector<RiskGroup>* mix;
    double oddsRatio;
    double limit;
    double runLength;
};

TEST(MarkovRunLength, AgreesWithALongSimulation) {
    const Simulated cases[] = {
        // clang-format off
        {&kElective, 2.0, 3.0, 3754.3},    {&kElective, 2.0, 4.5, 19204.3},
        {&kElective, 2.0, 6.0, 89189.8},
        {&kEmergency, 2.0, 3.0, 521.8},    {&kEmergency, 2.0, 4.5, 2619.0},
        {&kEmergency, 2.0, 6.0, 12225.0},
        {&kEmergency, 0.5, 3.0, 589.9},    {&kEmergency, 0.5, 4.5, 2986.5},
        {&kEmergency, 0.5, 6.0, 13873.7},
        // clang-format on
    };
    for (const Simulated& c : cases) {
        const SettledRunLength chain = settledRunLength(*c.mix, c.oddsRatio, c.limit);
        ASSERT_TRUE(chain.runLength) << c.limit;
        EXPECT_NEAR(*chain.runLength, c.runLength, 0.02 * c.runLength)
            << "R " << c.oddsRatio << " h " << c.limit << ", " << chain.states << " states";
    }
}

// Twice the states change the run length by less than 0.5% once settled, and
// by more before: the check is not vacuous.
TEST(MarkovRunLength, SettlesAsTheStatesDouble) {
    const SettledRunLength settled = settledRunLength(kElective, 2.0, 4.5);
    ASSERT_TRUE(settled.runLength);
    const double half = *cusumRunLength(kElective, 2.0, 4.5, settled.states / 2);
    EXPECT_LE(std::fabs(half - *settled.runLength), kChainTolerance * *settled.runLength);
    const double coarse = *cusumRunLength(kElective, 2.0, 4.5, settled.states / 4);
    EXPECT_GT(std::fabs(coarse - half), kChainTolerance * half);
    // The chain's run length grows with the limit.
    EXPECT_LT(*settledRunLength(kElective, 2.0, 4.0).runLength, *settled.runLength);
}

// The limit found gives the run length asked for, harm and improvement, both
// on the chain it rests on and on the chain settled afresh at that limit.
TEST(MarkovLimit, GivesTheTargetRunLength) {
    for (const auto* mix : {&kElective, &kEmergency}) {
        for (const double r : {2.0, 0.5}) {
            for (const double target : {1000.0, 10000.0}) {
                const ComputedLimit found = computeCusumLimit(*mix, r, target);
                ASSERT_TRUE(found.limit) << found.missing;
                const double onItsChain = *cusumRunLength(*mix, r, *found.limit, found.states);
                EXPECT_NEAR(onItsChain, target, 0.01 * target)
                    << "R " << r << " target " << target << ", " << found.states << " states";
                const SettledRunLength settled = settledRunLength(*mix, r, *found.limit);
                ASSERT_TRUE(settled.runLength);
                EXPECT_NEAR(*settled.runLength, target, 0.01 * target)
                    << "R " << r << " target " << target << ", " << settled.states << " states";
            }
        }
    }
}

// Without any chance of rising the CUSUM has no limit, at once; a rise so
// rare that a single one outlasts the run length asked for gives none either.
TEST(MarkovLimit, SaysWhyThereIsNone) {
    const std::vector<RiskGroup> zero = {{0.0, 0, 1}};
    const ComputedLimit never = computeCusumLimit(zero, 2.0, 1e4);
    EXPECT_FALSE(never.limit);
    EXPECT_EQ(never.missing, kCannotSignal);
    EXPECT_FALSE(cusumRunLength(zero, 2.0, 4.0, 100));

    const std::vector<RiskGroup> rare = {{1e-5, 0, 1}};
    const ComputedLimit seldom = computeCusumLimit(rare, 2.0, 1e4);
    EXPECT_FALSE(seldom.limit);
    EXPECT_NE(seldom.missing.find("even the lowest limit"), std::string::npos) << seldom.missing;
    // With a longer run length asked for, the same mix has a limit.
    EXPECT_TRUE(computeCusumLimit(rare, 2.0, 1e6).limit);
}

TEST(MarkovLimit, CancelStops) {
    const Progress cancel = [](std::string_view, std::uint64_t, std::uint64_t) { return false; };
    const ComputedLimit stopped = computeCusumLimit(kEmergency, 2.0, 1e4, cancel);
    EXPECT_TRUE(stopped.cancelled);
    EXPECT_FALSE(stopped.limit);
}

// The engine's own simulation, kept as an option, finds the limit the chain
// does within its Monte-Carlo error.
TEST(MarkovLimit, AgreesWithTheEnginesSimulation) {
    const ComputedLimit chain = computeCusumLimit(kEmergency, 2.0, 500);
    const auto simulated = simulateCusumLimit(kEmergency, 2.0, 500, 4000, 7);
    ASSERT_TRUE(chain.limit && simulated);
    EXPECT_NEAR(*simulated, *chain.limit, 0.03 * *chain.limit);
}

} // namespace
} // namespace caldrin::audit
