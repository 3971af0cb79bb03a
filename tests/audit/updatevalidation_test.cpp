// SPDX-License-Identifier: GPL-3.0-or-later
// An update checked on later data: exactly the episodes after its fit
// period are measured, with the updated risks; the rest are counted by why
// they were left out.

#include "audit/auditreport.h"
#include "audit/updatevalidation.h"
#include "auditlines.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>

namespace caldrin::audit {
namespace {

modelupdate::ModelUpdate inTheLargeUpdate() {
    modelupdate::ModelUpdate u;
    u.model = riskmodels::ModelId::PPossum1996Mortality;
    u.method = modelupdate::Method::RecalibrationInTheLarge;
    u.coefficients = {-1.0};
    u.covariance = {{0.01}};
    u.episodes = 500;
    u.events = 40;
    u.from = {2024, 1, 1};
    u.to = {2024, 6, 30};
    u.unit = "Ward 7";
    u.created = "2024-07-02T10:00:00Z";
    u.programVersion = "3.0";
    u.inputFiles = {{"first half.csv", 1000, 500}};
    return u;
}

AuditData episodes() {
    std::string text = testing::kHeader;
    int id = 0;
    auto add = [&](const char* date, const char* mortality) {
        testing::Row row;
        row.id = std::to_string(++id);
        row.date = date;
        row.mortality = mortality;
        text += testing::line(row); // P-POSSUM as written: 0.0500
    };
    add("15/12/2023", "0"); // before the fit period
    add("01/01/2024", "1"); // first day of it
    add("30/06/2024", "0"); // last day of it
    add("01/07/2024", "1"); // the day after: checked
    add("02/07/2024", "0");
    add("03/07/2024", "0");
    add("01/02/2025", "0"); // after the date range asked for
    add("31/02/2024", "1"); // no such date
    add("04/07/2024", "");  // outcome unknown: not counted at all
    AuditReader reader(ReadOptions{DateOrder::DayMonthYear, 2026});
    reader.addText("later.csv", text);
    return reader.finish();
}

TEST(UpdateValidation, MeasuresExactlyTheEpisodesAfterTheFitPeriod) {
    const AuditData data = episodes();
    AnalysisOptions options;
    options.to = Date{2024, 12, 31};
    modelupdate::ReadUpdate read;
    read.update = inTheLargeUpdate();
    const UpdateValidation check = validateUpdate(data, "update.json", read, options);
    ASSERT_TRUE(check.update);
    EXPECT_EQ(check.name, "P-POSSUM mortality, updated on Ward 7, 2024-01-01 to 2024-06-30");
    EXPECT_EQ(check.beforeFitPeriod, 1u);
    EXPECT_EQ(check.usedToFit, 2u);
    EXPECT_EQ(check.undated, 1u);
    EXPECT_EQ(check.outsideDateRange, 1u);
    EXPECT_EQ(check.overall.n, 3u);
    EXPECT_EQ(check.overall.observed, 1u);
    // Each at logit(0.05) - 1, the stored risk recalibrated.
    const double updated = 1 / (1 + std::exp(-(std::log(0.05 / 0.95) - 1)));
    EXPECT_NEAR(check.overall.expected, 3 * updated, 1e-12);
    EXPECT_TRUE(check.fewEvents);

    ReportOptions reportOptions;
    reportOptions.updates = {check};
    const AnalysisResult result = analyse(data, options);
    const std::string text = formatReport(data, result, options, ReportFormat::Text, reportOptions);
    EXPECT_NE(text.find("Left out: 2 episodes used to fit it"), std::string::npos) << text;
    const auto json = nlohmann::json::parse(
        formatReport(data, result, options, ReportFormat::Json, reportOptions));
    ASSERT_EQ(json["updated_models"].size(), 1u);
    EXPECT_EQ(json["updated_models"][0]["file"], "update.json");
    EXPECT_EQ(json["updated_models"][0]["used_to_fit"], 2);
}

TEST(UpdateValidation, ARefusedFileIsReportedWithItsReasonAndNothingElse) {
    const AuditData data = episodes();
    modelupdate::ReadUpdate read = modelupdate::readUpdate("{\"format\": 1");
    const UpdateValidation check = validateUpdate(data, "broken.json", read, {});
    EXPECT_FALSE(check.update);
    EXPECT_EQ(check.overall.n, 0u);
    ReportOptions reportOptions;
    reportOptions.updates = {check};
    const std::string text =
        formatReport(data, analyse(data, {}), {}, ReportFormat::Text, reportOptions);
    EXPECT_NE(text.find("broken.json: The update file ends before its document does"),
              std::string::npos);
}

} // namespace
} // namespace caldrin::audit
