// SPDX-License-Identifier: GPL-3.0-or-later
#include "scoring/factors.h"

#include <gtest/gtest.h>

#include <vector>

namespace caldrin {
namespace {

std::vector<std::uint8_t> pointsAtPosition(std::span<const FactorDef> factors, bool last) {
    std::vector<std::uint8_t> points;
    for (const FactorDef& def : factors)
        points.push_back(pointsOf(def, last ? def.options.size() - 1 : 0));
    return points;
}

TEST(FactorTables, CanonicalOrderMatchesTheEnumeration) {
    for (std::size_t i = 0; i < kFactorCount; ++i)
        EXPECT_EQ(indexOf(allFactors()[i].factor), i);
    EXPECT_EQ(physiologicalFactors().back().factor, Factor::ECG);
    EXPECT_EQ(operativeFactors().front().factor, Factor::OperativeSeverity);
}

TEST(FactorTables, OptionTextsKeepTheirSpacesExactly) {
    EXPECT_EQ(factorDef(Factor::Age).options[0], "<= 60 ");
    EXPECT_EQ(factorDef(Factor::SystolicBP).options[0], "110 -130");
    EXPECT_EQ(factorDef(Factor::SystolicBP).options[3], "<= 89 ");
    EXPECT_EQ(factorDef(Factor::GlasgowComaScale).options[2], "9 - 11 ");
    EXPECT_EQ(factorDef(Factor::GlasgowComaScale).options[3], "<= 8 ");
    EXPECT_EQ(factorDef(Factor::ECG).options[2],
              "Any other abnormal rhythm or >=5 extopics /min. Q waves or ST/T wave changes ");
    EXPECT_EQ(
        factorDef(Factor::ModeOfSurgery).options[1],
        "Emergency resuscitation of > 2 hours possible.  Operation < 24 hours from admission");
    EXPECT_EQ(factorDef(Factor::ModeOfSurgery).options[2],
              "Emergency ( immediate surgery < 2 hours needed");
    EXPECT_EQ(factorDef(Factor::OperativeSeverity).heading, "Operative Severity");
    EXPECT_EQ(factorDef(Factor::WhiteCellCount).heading, "White Cell Count ( / pl )");
}

TEST(FactorPoints, OneFourEightScaleNeverGivesTwo) {
    for (Factor f : {Factor::ECG, Factor::MultipleProcedures, Factor::ModeOfSurgery}) {
        const FactorDef& def = factorDef(f);
        ASSERT_EQ(def.options.size(), 3u);
        EXPECT_EQ(pointsOf(def, 0), 1);
        EXPECT_EQ(pointsOf(def, 1), 4);
        EXPECT_EQ(pointsOf(def, 2), 8);
    }
}

TEST(FactorPoints, ThreeOptionDoublingFactorsGiveAtMostFour) {
    for (Factor f : {Factor::Age, Factor::WhiteCellCount}) {
        const FactorDef& def = factorDef(f);
        ASSERT_EQ(def.options.size(), 3u);
        EXPECT_EQ(pointsOf(def, 2), 4);
    }
    EXPECT_EQ(pointsOf(factorDef(Factor::Pulse), 3), 8);
}

TEST(FactorTotals, RangesOfBothScores) {
    EXPECT_EQ(totalOf(pointsAtPosition(physiologicalFactors(), false)), 12);
    EXPECT_EQ(totalOf(pointsAtPosition(physiologicalFactors(), true)), 88);
    EXPECT_EQ(totalOf(pointsAtPosition(operativeFactors(), false)), 6);
    EXPECT_EQ(totalOf(pointsAtPosition(operativeFactors(), true)), 48);
}

TEST(FactorTotals, SumWrapsInEightBits) {
    const std::vector<std::uint8_t> points{200, 100};
    EXPECT_EQ(totalOf(points), 44);
}

TEST(FactorTotals, CompletenessNeedsEveryFactor) {
    EXPECT_TRUE(isComplete(std::vector<std::uint8_t>{1, 2, 8}));
    EXPECT_FALSE(isComplete(std::vector<std::uint8_t>{1, 0, 8}));
}

TEST(FactorPoints, PointsTextIsEmptyForNoChoice) {
    EXPECT_EQ(pointsText(0), "");
    EXPECT_EQ(pointsText(1), "1");
    EXPECT_EQ(pointsText(8), "8");
}

} // namespace
} // namespace caldrin
