// SPDX-License-Identifier: GPL-3.0-or-later
#include "report_core/reporttext.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace caldrin {
namespace {

std::size_t riskIndex(RiskKind kind) {
    return static_cast<std::size_t>(kind);
}

// A finished episode as the windows show it after Hash ID and Calculate.
ReportSources completeEpisode() {
    ReportSources s;
    s.patient = {"Jane Doe",
                 "NHS 123 456",
                 "01/02/1950",
                 "15/06/2026",
                 "0123456789abcdef0123456789abcdef",
                 "0",
                 "1"};
    // Age, Cardiac, Respiratory, Systolic BP, Pulse, GCS, Hb, WCC, Urea, Na, K, ECG,
    // Operative severity, Multiple, Blood loss, Soiling, Malignancy, Mode.
    s.factorPoints = {"2", "1", "4", "1", "2", "1", "1", "2", "4",
                      "1", "4", "1", "4", "1", "2", "8", "1", "4"};
    s.physiologicalScore = "24";
    s.operativeScore = "20";
    s.risks[riskIndex(RiskKind::PossumMortality)] = " 32.30%";
    s.risks[riskIndex(RiskKind::PossumMorbidity)] = " 85.07%";
    s.risks[riskIndex(RiskKind::PPossumMortality)] = " 19.47%";
    s.risks[riskIndex(RiskKind::RaaaPossumMortality)] = " 30.93%";
    s.risks[riskIndex(RiskKind::RaaaPossumPhysiologicalMortality)] = "100.00%";
    return s;
}

TEST(ComposeReport, CompleteEpisodeLineForLine) {
    const std::vector<std::string> expected{
        "",
        "",
        "",
        "",
        "",
        "Name                :   Jane Doe",
        "ID                  :   NHS 123 456",
        "DOB                 :   01/02/1950",
        "",
        "Date                :   15/06/2026",
        "",
        "Hashed identifier   :   0123456789abcdef0123456789abcdef",
        "",
        "Physiological score :   ",
        "",
        "Age                 :   2",
        "Cardiac             :   1",
        "Respiratory         :   4",
        "Systolic BP         :   1",
        "Pulse               :   2",
        "Glasgow Coma Scale  :   1",
        "Haemoglobin         :   1",
        "White Cell Count    :   2",
        "Urea                :   4",
        "Sodium              :   1",
        "Potassium           :   4",
        "ECG                 :   1",
        "",
        "TOTAL               :  24",
        "",
        "",
        "Operative severity score:  ",
        "",
        "Operative severity  :   4",
        "Multiple procedures :   1",
        "Total blood loss    :   2",
        "Peritoneal soiling  :   8",
        "Malignancy present  :   1",
        "Mode of surgery     :   4",
        "",
        "TOTAL               :  20",
        "",
        "",
        "POSSUM morbidity    :  85.07%",
        "POSSUM mortality    :  32.30%",
        "P-POSSUM mortality  :  19.47%",
        "RAAA-POSSUM mort.   :  30.93%",
        "RAAA-POSSUM phys.   : 100.00%",
        "",
        "Actual Morbidity    :   0",
        "Actual Mortality    :   1",
        "",
    };
    EXPECT_EQ(ComposeReport(completeEpisode()), expected);
}

TEST(ComposeReport, ColonsLineUpInColumn21ExceptTheOperativeHeading) {
    const std::vector<std::string> lines = ComposeReport(completeEpisode());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].empty())
            continue;
        const std::size_t column = lines[i] == "Operative severity score:  " ? 24 : 20;
        EXPECT_EQ(lines[i].find(':'), column) << "line " << i + 1 << ": " << lines[i];
    }
}

TEST(ComposeReport, EmptySourcesGiveBareLabelsAndBlankPadding) {
    const std::vector<std::string> lines = ComposeReport(ReportSources{});
    ASSERT_EQ(lines.size(), kReportLineCount);
    EXPECT_EQ(lines[5], "Name                :   ");
    EXPECT_EQ(lines[11], "Hashed identifier   :   ");
    EXPECT_EQ(lines[15], "Age                 :    ");
    EXPECT_EQ(lines[28], "TOTAL               :    ");
    EXPECT_EQ(lines[43], "POSSUM morbidity    :       ");
    EXPECT_EQ(lines[50], "Actual Mortality    :    ");
    for (const std::string& line : lines)
        EXPECT_EQ(line.find_first_not_of(" :", line.find(':')), std::string::npos) << line;
}

TEST(ComposeReport, LongValuesAreNeverPaddedAndAreCut) {
    ReportSources s = completeEpisode();
    s.physiologicalScore = "255";
    s.risks[riskIndex(RiskKind::RaaaPossumMortality)] = "about one in three";
    s.risks[riskIndex(RiskKind::RaaaPossumPhysiologicalMortality)] = std::string(300, 'x');
    s.patient.died = "yes, on day 3";
    s.patient.name = std::string(260, 'N');

    const std::vector<std::string> lines = ComposeReport(s);
    ASSERT_EQ(lines.size(), kReportLineCount);
    EXPECT_EQ(lines[28], "TOTAL               : 255");
    EXPECT_EQ(lines[46], "RAAA-POSSUM mort.   : about one in three");
    EXPECT_EQ(lines[47], "RAAA-POSSUM phys.   : " + std::string(233, 'x'));
    EXPECT_EQ(lines[50], "Actual Mortality    : yes, on day 3");
    // Detail texts are copied whole.
    EXPECT_EQ(lines[5], "Name                :   " + std::string(260, 'N'));
}

TEST(ComposeReport, EightBitTextIsCopiedByteForByte) {
    ReportSources s;
    s.patient.name = "Ren\xE9\x80"; // é and the euro sign in Windows-1252
    // One character, padded as one. Built from a count because GCC 12 at -O3
    // misreports assigning a one-character literal (-Wrestrict).
    s.factorPoints[0] = std::string(1, '\xB1');
    const std::vector<std::string> lines = ComposeReport(s);
    ASSERT_EQ(lines.size(), kReportLineCount);
    EXPECT_EQ(lines[5], "Name                :   Ren\xE9\x80");
    EXPECT_EQ(lines[15], "Age                 :   \xB1");
}

TEST(JoinWithCrLf, EndsEveryLineIncludingTheLast) {
    EXPECT_EQ(joinWithCrLf(std::vector<std::string>{"a", "", "b"}), "a\r\n\r\nb\r\n");
    EXPECT_EQ(joinWithCrLf(std::vector<std::string>{}), "");

    const std::string text = joinWithCrLf(ComposeReport(completeEpisode()));
    std::size_t lineEnds = 0;
    for (std::size_t at = text.find("\r\n"); at != std::string::npos;
         at = text.find("\r\n", at + 2))
        ++lineEnds;
    EXPECT_EQ(lineEnds, kReportLineCount);
    EXPECT_TRUE(text.ends_with("Actual Mortality    :   1\r\n\r\n"));
}

} // namespace
} // namespace caldrin
