// SPDX-License-Identifier: GPL-3.0-or-later
#include "patientview_core/riskdrivers.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace caldrin;
using namespace caldrin::riskdrivers;
using riskmodels::ModelId;

namespace {

// PS 30: age 71 or over (4), respiratory 2, blood pressure 89 or under (8),
// pulse 101 to 120 (4), haemoglobin 2, urea 10.1 to 15.0 (4), the rest 1.
// OS 15: major (4), one procedure, blood loss 101 to 500 (2), minor soiling
// (2), primary cancer (2), emergency with time to resuscitate (4).
std::array<std::uint8_t, kFactorCount> gradedAt30And15() {
    std::array<std::uint8_t, kFactorCount> p{};
    p.fill(1);
    p[indexOf(Factor::Age)] = 4;
    p[indexOf(Factor::Respiratory)] = 2;
    p[indexOf(Factor::SystolicBP)] = 8;
    p[indexOf(Factor::Pulse)] = 4;
    p[indexOf(Factor::Haemoglobin)] = 2;
    p[indexOf(Factor::Urea)] = 4;
    p[indexOf(Factor::OperativeSeverity)] = 4;
    p[indexOf(Factor::TotalBloodLoss)] = 2;
    p[indexOf(Factor::PeritonealSoiling)] = 2;
    p[indexOf(Factor::MalignancyPresent)] = 2;
    p[indexOf(Factor::ModeOfSurgery)] = 4;
    return p;
}

// The published equation, written out here, not taken from the model table.
double logistic(double y) {
    return 1.0 / (1.0 + std::exp(-y));
}

struct Expected {
    Factor factor;
    double logOdds;
    bool whatIf;
    double whatIfRisk; // from the equation with the factor one grade lower
};

void expectDrivers(const Drivers& drivers, const std::vector<Expected>& expected) {
    ASSERT_EQ(drivers.missingReason, "");
    ASSERT_EQ(drivers.drivers.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const Driver& d = drivers.drivers[i];
        SCOPED_TRACE(d.words);
        EXPECT_EQ(d.factor, expected[i].factor);
        EXPECT_NEAR(d.logOddsAdded, expected[i].logOdds, 1e-12);
        EXPECT_EQ(d.whatIf.has_value(), expected[i].whatIf);
        if (d.whatIf && expected[i].whatIf) {
            EXPECT_NEAR(d.whatIf->risk, expected[i].whatIfRisk, 1e-12);
            EXPECT_EQ(d.whatIf->condition.rfind("if ", 0), 0u);
        }
        EXPECT_FALSE(d.words.empty());
    }
}

} // namespace

// P-POSSUM (-9.37 + 0.19 PS + 0.15 OS; 19.47% at 30/15): blood pressure adds
// 7 x 0.19 = 1.33; age, pulse and urea each 3 x 0.19 = 0.57 (ties keep the
// factors' order, so urea is fourth); the operative factors at most 0.45.
// Blood pressure one grade lower (8 -> 4) gives PS 26, 10.16%; pulse (4 -> 2)
// PS 28, 14.19%; age cannot change and has no what-if.
TEST(RiskDrivers, PPossumAt30And15) {
    const Drivers d =
        riskDrivers(riskmodels::model(ModelId::PPossum1996Mortality), gradedAt30And15(), 30, 15);
    expectDrivers(d, {{Factor::SystolicBP, 1.33, true, logistic(-9.37 + 0.19 * 26 + 0.15 * 15)},
                      {Factor::Age, 0.57, false, 0},
                      {Factor::Pulse, 0.57, true, logistic(-9.37 + 0.19 * 28 + 0.15 * 15)}});
    EXPECT_NEAR(d.drivers[0].whatIf->risk, 0.1016, 5e-5); // worked by hand
    EXPECT_NEAR(d.drivers[2].whatIf->risk, 0.1419, 5e-5);
    EXPECT_EQ(d.drivers[0].words, "very low blood pressure");
    EXPECT_EQ(d.drivers[0].whatIf->condition, "if the blood pressure had been less low (90 to 99)");
}

// POSSUM morbidity weighs the operation more (0.19 per OS point against 0.16
// per PS point): blood pressure 7 x 0.16 = 1.12, then the major operation and
// the emergency, each 3 x 0.19 = 0.57, ahead of age at 0.48.
TEST(RiskDrivers, PossumMorbidityAt30And15) {
    const Drivers d =
        riskDrivers(riskmodels::model(ModelId::PossumMorbidity), gradedAt30And15(), 30, 15);
    expectDrivers(d,
                  {{Factor::SystolicBP, 1.12, true, logistic(-5.91 + 0.16 * 26 + 0.19 * 15)},
                   {Factor::OperativeSeverity, 0.57, true, logistic(-5.91 + 0.16 * 30 + 0.19 * 13)},
                   {Factor::ModeOfSurgery, 0.57, true, logistic(-5.91 + 0.16 * 30 + 0.19 * 12)}});
    EXPECT_EQ(d.drivers[2].words, "emergency operation");
}

// An equation of the physiology alone is driven by physiology alone, and
// needs no operative grading.
TEST(RiskDrivers, PhysiologyAloneIgnoresTheOperation) {
    auto points = gradedAt30And15();
    for (std::size_t i = kPhysiologicalFactorCount; i < kFactorCount; ++i)
        points[i] = 0;
    const Drivers d =
        riskDrivers(riskmodels::model(ModelId::RaaaPossumPhysiologicalMortality), points, 30, 0);
    expectDrivers(d, {{Factor::SystolicBP, 7 * 0.0968, true, logistic(-2.7569 + 0.0968 * 26)},
                      {Factor::Age, 3 * 0.0968, false, 0},
                      {Factor::Pulse, 3 * 0.0968, true, logistic(-2.7569 + 0.0968 * 28)}});
}

// Scores typed in directly, or factors that do not add up to the scores
// shown, name no driver: the reason is given instead of a guess.
TEST(RiskDrivers, NoFactorsNoDrivers) {
    const auto& model = riskmodels::model(ModelId::PPossum1996Mortality);
    std::array<std::uint8_t, kFactorCount> none{};
    EXPECT_NE(riskDrivers(model, none, 30, 15).missingReason, "");
    EXPECT_NE(riskDrivers(model, gradedAt30And15(), 31, 15).missingReason, "");
    EXPECT_NE(riskDrivers(model, gradedAt30And15(), 30, 16).missingReason, "");
    EXPECT_TRUE(riskDrivers(model, none, 30, 15).drivers.empty());
}

// The lowest grade of every factor adds nothing and has no words; every
// higher grade has words.
TEST(RiskDrivers, EveryGradeAboveTheLowestHasWords) {
    for (const FactorDef& def : allFactors()) {
        EXPECT_EQ(factorWords(def.factor, 0), "") << def.name;
        for (std::size_t position = 1; position < def.options.size(); ++position)
            EXPECT_NE(factorWords(def.factor, position), "") << def.name << " " << position;
    }
}
