// SPDX-License-Identifier: GPL-3.0-or-later
#include "riskmodels/riskmodels.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace caldrin::riskmodels {
namespace {

struct PublishedPoint {
    ModelId id;
    int ps;
    int os;
    double percent; // worked by hand from the published constants, two decimals
};

// PS 20 / OS 10 is the case that shows the ruptured-aneurysm physiology
// equation (30.56%) against the arterial-surgery one (4.92%).
class PublishedPoints : public testing::TestWithParam<PublishedPoint> {};

TEST_P(PublishedPoints, GiveTheHandWorkedRisk) {
    const PublishedPoint& p = GetParam();
    EXPECT_NEAR(100 * riskFromScores(model(p.id), p.ps, p.os), p.percent, 0.005)
        << model(p.id).title << " at PS " << p.ps << ", OS " << p.os;
}

INSTANTIATE_TEST_SUITE_P(
    Equations, PublishedPoints,
    testing::Values(PublishedPoint{ModelId::VPossum2001Mortality, 25, 15, 8.91},
                    PublishedPoint{ModelId::VPossum2001PhysiologicalMortality, 25, 15, 10.06},
                    PublishedPoint{ModelId::PPossum1998Mortality, 25, 15, 7.52},
                    PublishedPoint{ModelId::VPossum2001Mortality, 20, 10, 2.37},
                    PublishedPoint{ModelId::VPossum2001PhysiologicalMortality, 20, 10, 4.92},
                    PublishedPoint{ModelId::PPossum1998Mortality, 20, 10, 1.58},
                    PublishedPoint{ModelId::RaaaPossumPhysiologicalMortality, 20, 10, 30.56},
                    PublishedPoint{ModelId::VPossum2001Mortality, 40, 30, 86.53},
                    PublishedPoint{ModelId::VPossum2001PhysiologicalMortality, 40, 30, 52.93},
                    PublishedPoint{ModelId::PPossum1998Mortality, 40, 30, 91.32}));

TEST(RiskModelTable, PhysiologyOnlyEquationsIgnoreTheOperativeScore) {
    for (const RiskModel& m : allModels()) {
        if (m.usesOperativeScore)
            continue;
        EXPECT_EQ(riskFromScores(m, 30, 7), riskFromScores(m, 30, 44)) << m.title;
        EXPECT_EQ(equationText(m).find("OS"), std::string::npos) << m.title;
    }
}

TEST(RiskModelTable, EquationTextsShowThePublishedConstants) {
    EXPECT_EQ(equationText(model(ModelId::PPossum1998Mortality)),
              "ln(R/(1-R)) = -9.065 + 0.1692 x PS + 0.155 x OS");
    EXPECT_EQ(equationText(model(ModelId::RaaaPossumPhysiologicalMortality)),
              "ln(R/(1-R)) = -2.7569 + 0.0968 x PS");
    EXPECT_EQ(equationText(model(ModelId::PossumMortality)),
              "ln(R/(1-R)) = -7.04 + 0.13 x PS + 0.16 x OS");
}

// Every reader of the table relies on these: ids index the table, the stored
// five come first in the audit file's column order, names are unique, the
// report's abbreviation fits its column and every model has a source.
TEST(RiskModelTable, IsCompleteAndConsistent) {
    const char* storedColumns[] = {"P_MORT", "P_MORB", "P-P_MORT", "V_MORT", "VP_MORT"};
    std::set<std::string_view> titles, keys, shortNames;
    for (std::size_t i = 0; i < kModelCount; ++i) {
        const RiskModel& m = allModels()[i];
        EXPECT_EQ(static_cast<std::size_t>(m.id), i);
        EXPECT_EQ(isStored(m), i < kStoredModelCount) << m.title;
        if (i < kStoredModelCount) {
            EXPECT_EQ(m.storedColumn, storedColumns[i]);
        }
        EXPECT_LE(m.abbreviation.size(), 20u) << m.title;
        EXPECT_TRUE(titles.insert(m.title).second) << m.title;
        EXPECT_TRUE(keys.insert(m.key).second) << m.key;
        EXPECT_TRUE(shortNames.insert(m.shortName).second) << m.shortName;
        EXPECT_FALSE(m.citation.empty() || m.doi.empty() || m.population.empty() ||
                     m.outcome.empty())
            << m.title;
        EXPECT_EQ(m.predicts == Predicts::Morbidity, m.id == ModelId::PossumMorbidity);
    }
}

} // namespace
} // namespace caldrin::riskmodels
