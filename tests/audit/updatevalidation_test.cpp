// SPDX-License-Identifier: GPL-3.0-or-later
// An update checked on later data: exactly the episodes after its fit
// period are measured, with the updated risks; the rest are counted by why
// they were left out.

#include "audit/auditreport.h"
#include "audit/text.h"
#include "audit/updatevalidation.h"
#include "auditlines.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <map>

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

// A CSV text's rows as column -> cell, quotes undone as a spreadsheet does.
std::vector<std::map<std::string, std::string>> csvRows(const std::string& csv) {
    std::vector<std::vector<std::string>> lines;
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (std::size_t i = 0; i < csv.size(); ++i) {
        const char c = csv[i];
        if (quoted && c == '"' && i + 1 < csv.size() && csv[i + 1] == '"') {
            fields.back() += '"';
            ++i;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (!quoted && c == ',') {
            fields.emplace_back();
        } else if (!quoted && c == '\r' && i + 1 < csv.size() && csv[i + 1] == '\n') {
            lines.push_back(std::move(fields));
            fields.assign(1, {});
            ++i;
        } else {
            fields.back() += c;
        }
    }
    std::vector<std::map<std::string, std::string>> rows;
    for (std::size_t r = 1; r < lines.size(); ++r) {
        EXPECT_EQ(lines[r].size(), lines[0].size()) << "row " << r;
        std::map<std::string, std::string>& row = rows.emplace_back();
        for (std::size_t c = 0; c < lines[0].size() && c < lines[r].size(); ++c)
            row[lines[0][c]] = lines[r][c];
    }
    return rows;
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

// In the CSV report each update is one "update" row after the models': the
// same figures in the same columns as a model's row, what was left out in
// columns of their own at the end, and an empty cell for each figure that
// cannot be computed. A refused file is a row with its reason.
TEST(UpdateValidation, CsvRowsHoldTheFiguresTheEpisodesLeftOutOrTheRefusal) {
    const AuditData data = episodes();
    AnalysisOptions options;
    options.to = Date{2024, 12, 31};
    modelupdate::ReadUpdate read;
    read.update = inTheLargeUpdate();
    modelupdate::ReadUpdate latest = read;
    latest.update->to = {2024, 12, 31}; // nothing after it yet
    latest.update->method = modelupdate::Method::LogisticRecalibration;
    latest.update->coefficients = {-1.0, 0.8};
    latest.update->covariance = {{0.01, 0}, {0, 0.01}};
    const std::vector<UpdateValidation> checks = {
        validateUpdate(data, "update.json", read, options),
        validateUpdate(data, "latest, \"Q4\".json", latest, options),
        validateUpdate(data, "broken.json", modelupdate::readUpdate("{\"format\": 1"), options),
    };
    const std::string table = updateCsvTable(checks);
    const std::string report = csvReport(analyse(data, options), checks);
    const std::string header = table.substr(0, table.find("\r\n") + 2);
    EXPECT_EQ(report.substr(0, header.size()), header) << "one header for both";
    EXPECT_EQ(report.substr(report.size() - table.size() + header.size()),
              table.substr(header.size()))
        << "the report ends with the update rows";
    EXPECT_EQ(header.find("model,outcome,band,n,observed,expected,oe,"), 0u);
    EXPECT_NE(header.find(",auroc_difference_p,update_file,update_method,used_to_fit,"
                          "before_fit_period,undated,outside_date_range,update_refused\r\n"),
              std::string::npos)
        << "new columns only at the end";

    const auto rows = csvRows(table);
    ASSERT_EQ(rows.size(), 3u);
    const double updated = 1 / (1 + std::exp(-(std::log(0.05 / 0.95) - 1)));
    struct Cell {
        std::size_t row;
        const char* column;
        std::string text;
    };
    const Cell cells[] = {
        {0, "model", "P-POSSUM mortality, updated on Ward 7, 2024-01-01 to 2024-06-30"},
        {0, "outcome", "mortality"},
        {0, "band", "update"},
        {0, "n", "3"},
        {0, "observed", "1"},
        {0, "expected", shortestText(3 * updated)},
        {0, "oe", shortestText(1 / (3 * updated))},
        {0, "unreliable", "yes"},
        {0, "auroc", "0.5"},
        // Every risk the same: no slope can be fitted, and the cell is empty.
        {0, "calibration_slope", ""},
        {0, "slope_lower", ""},
        {0, "few_events", "yes"},
        {0, "update_file", "update.json"},
        {0, "update_method", "recalibration_in_the_large"},
        {0, "used_to_fit", "2"},
        {0, "before_fit_period", "1"},
        {0, "undated", "1"},
        {0, "outside_date_range", "1"},
        {0, "update_refused", ""},
        // Nothing after the fit period: counts, and no figure at all.
        {1, "update_file", "latest, \"Q4\".json"},
        {1, "update_method", "logistic_recalibration"},
        {1, "n", "0"},
        {1, "used_to_fit", "5"},
        {1, "oe", ""},
        {1, "oe_lower", ""},
        {1, "auroc", ""},
        {1, "calibration_in_the_large", ""},
        {1, "brier", ""},
        // A refused file names itself and why, and holds nothing else.
        {2, "band", "update"},
        {2, "update_file", "broken.json"},
        {2, "model", ""},
        {2, "n", ""},
        {2, "used_to_fit", ""},
    };
    for (const Cell& c : cells)
        EXPECT_EQ(rows[c.row].at(c.column), c.text) << "row " << c.row << ", " << c.column;
    EXPECT_EQ(rows[2].at("update_refused").find("The update file ends before its document does"),
              0u);
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
