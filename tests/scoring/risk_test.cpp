// SPDX-License-Identifier: GPL-3.0-or-later
#include "scoring/padding.h"
#include "scoring/risk.h"

#include <gtest/gtest.h>

#include <array>
#include <clocale>
#include <string>

namespace caldrin {
namespace {

struct WorkedRow {
    std::uint8_t ps;
    std::uint8_t os;
    std::array<const char*, kRiskKindCount> texts; // kinds 0..4
};

class WorkedRisks : public ::testing::TestWithParam<WorkedRow> {};

TEST_P(WorkedRisks, FormatAsPublished) {
    const WorkedRow& row = GetParam();
    for (std::size_t kind = 0; kind < kRiskKindCount; ++kind) {
        const double risk = ComputeRisk(static_cast<RiskKind>(kind), row.ps, row.os);
        EXPECT_EQ(FormatRiskPercent(risk), row.texts[kind]) << "kind " << kind;
    }
}

INSTANTIATE_TEST_SUITE_P(
    PublishedTable, WorkedRisks,
    ::testing::Values(WorkedRow{12, 6, {"  1.08%", "  5.47%", "  0.20%", "  3.53%", " 16.86%"}},
                      WorkedRow{20, 10, {"  5.52%", " 30.79%", "  1.68%", " 10.02%", " 30.56%"}},
                      WorkedRow{30, 15, {" 32.30%", " 85.07%", " 19.47%", " 30.93%", " 53.67%"}},
                      WorkedRow{88, 48, {"100.00%", "100.00%", "100.00%", " 99.95%", " 99.69%"}},
                      WorkedRow{255, 255, {"100.00%", "100.00%", "100.00%", "100.00%", "100.00%"}}),
    [](const auto& info) {
        return "PS" + std::to_string(info.param.ps) + "_OS" + std::to_string(info.param.os);
    });

TEST(ComputeRisk, PhysiologicalKindIgnoresOperativeScore) {
    const auto kind = RiskKind::RaaaPossumPhysiologicalMortality;
    EXPECT_EQ(ComputeRisk(kind, 20, 1), ComputeRisk(kind, 20, 255));
    EXPECT_EQ(FormatRiskPercent(ComputeRisk(kind, 20, 1)), " 30.56%");
}

TEST(ComputeRisk, SmallestDirectEntryScores) {
    EXPECT_EQ(FormatRiskPercent(ComputeRisk(RiskKind::PPossumMortality, 1, 1)), "  0.01%");
    EXPECT_EQ(FormatRiskPercent(ComputeRisk(RiskKind::RaaaPossumPhysiologicalMortality, 1, 1)),
              "  6.54%");
}

TEST(ComputeRisk, StaysWithinZeroAndOne) {
    for (int k = 0; k < 5; ++k) {
        const double high = ComputeRisk(static_cast<RiskKind>(k), 255, 255);
        const double low = ComputeRisk(static_cast<RiskKind>(k), 1, 1);
        EXPECT_LE(high, 1.0);
        EXPECT_GT(low, 0.0);
    }
}

TEST(FormatRiskPercent, UsesTheGivenDecimalSeparator) {
    EXPECT_EQ(FormatRiskPercent(ComputeRisk(RiskKind::PossumMortality, 30, 15), ','), " 32,30%");
}

// The C library's numeric locale is the user's (the window toolkit sets it at
// start-up), and it may differ from the separator the program chose.
TEST(FormatRiskPercent, IgnoresTheCLibrarysDecimalSeparator) {
    const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
    ASSERT_NE(std::setlocale(LC_NUMERIC, "de_DE.UTF-8"), nullptr)
        << "the de_DE.UTF-8 locale is missing: scripts/setup.sh generates it";
    ASSERT_EQ(*std::localeconv()->decimal_point, ',');
    const double risk = ComputeRisk(RiskKind::PossumMortality, 30, 15);
    const std::string withAt = FormatRiskPercent(risk, '@');
    const std::string withPoint = FormatRiskPercent(risk, '.');
    std::setlocale(LC_NUMERIC, previous.c_str());
    EXPECT_EQ(withAt, " 32@30%");
    EXPECT_EQ(withPoint, " 32.30%");
}

TEST(LeftPad, PadsShortTextsAndNeverCuts) {
    EXPECT_EQ(leftPad("2", 3), "  2");
    EXPECT_EQ(leftPad("", 3), "   ");
    EXPECT_EQ(leftPad("255", 3), "255");
    EXPECT_EQ(leftPad(" 32.30%", 6), " 32.30%");
}

} // namespace
} // namespace caldrin
