// SPDX-License-Identifier: GPL-3.0-or-later
#include "audit/auditreport.h"
#include "audit/text.h"
#include "auditlines.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <limits>

namespace caldrin::audit {
namespace {

using testing::line;
using testing::Row;

struct Fixture {
    AuditData data;
    AnalysisOptions options;
    AnalysisResult result;
};

Fixture analysed(const std::string& text) {
    Fixture f;
    AuditReader reader(ReadOptions{DateOrder::DayMonthYear, 2026});
    reader.addText("audit.csv", text);
    f.data = reader.finish();
    f.options.limit = 4.5;
    f.result = analyse(f.data, f.options);
    return f;
}

TEST(Report, JsonHasTheAgreedShapeWithNullForUndefinedFigures) {
    std::string text = line(Row{.name = "A", .mortality = "1"}) + line(Row{.name = "B"}) +
                       "\"Bad \x93quote\x94\",x\r\n";
    const Fixture f = analysed(text);
    const std::string json = formatReport(f.data, f.result, f.options, ReportFormat::Json);
    const auto parsed = nlohmann::json::parse(json);
    const std::vector<std::string> keys = {"possum_morbidity",
                                           "possum_mortality",
                                           "p_possum_mortality",
                                           "raaa_possum_mortality",
                                           "raaa_possum_physiological_mortality",
                                           "v_possum_2001_mortality",
                                           "v_possum_2001_physiological_mortality",
                                           "p_possum_1998_mortality"};
    ASSERT_EQ(parsed["models"].size(), keys.size());
    for (std::size_t m = 0; m < keys.size(); ++m)
        EXPECT_EQ(parsed["models"][m]["model"], keys[m]);
    const auto& mortality = parsed["models"][1];
    EXPECT_EQ(mortality["outcome"], "mortality");
    EXPECT_EQ(parsed["records"]["read"], 2);
    EXPECT_EQ(parsed["records"]["merged"], 0);
    EXPECT_EQ(parsed["files"][0]["problems"][0]["line"], 3);
    EXPECT_EQ(mortality["hosmer_lemeshow"]["df"], 8);
    EXPECT_EQ(mortality["cusum"]["odds_ratio"], 2.0);
    EXPECT_EQ(mortality["cusum"]["limit"], 4.5);
    // No deaths expected in the top band: O:E undefined.
    const auto& top = mortality["bands"][9];
    EXPECT_EQ(top["from"], 0.9);
    EXPECT_EQ(top["to"], 1.0);
    EXPECT_EQ(top["n"], 0);
    EXPECT_EQ(top["expected"], 0.0);
    EXPECT_TRUE(top["oe"].is_null());
    EXPECT_TRUE(top["oe_ci"].is_null());
    // The keys the ruptured-aneurysm risks had are gone rather than given a new meaning.
    EXPECT_EQ(json.find("\"v_possum_mortality\""), std::string::npos);
    EXPECT_EQ(json.find("\"v_possum_physiological_mortality\""), std::string::npos);
    // Morbidity has no events: AUROC null.
    EXPECT_TRUE(parsed["models"][0]["auroc"].is_null());
    // Windows-1252 curly quotes become UTF-8.
    EXPECT_NE(json.find("\xe2\x80\x9c"), std::string::npos);
}

// Episodes without a readable date come last over time; both outputs say how many.
TEST(Report, SayHowManyEpisodesOverTimeHaveNoReadableDate) {
    const Fixture f = analysed(line(Row{.name = "A", .date = "not known", .mortality = "1"}) +
                               line(Row{.name = "B", .mortality = "0"}));
    const auto json =
        nlohmann::json::parse(formatReport(f.data, f.result, f.options, ReportFormat::Json));
    EXPECT_EQ(json["models"][1]["undated"], 1) << json;
    const std::string text = formatReport(f.data, f.result, f.options, ReportFormat::Text);
    EXPECT_NE(text.find("1 episode without a readable date comes last"), std::string::npos) << text;
}

TEST(Report, TextMarksUnreliableFiguresAndListsProblems) {
    const Fixture f = analysed(line(Row{.name = "A", .mortality = "1"}) + line(Row{.name = "B"}) +
                               "short,line\r\n");
    const std::string text = formatReport(f.data, f.result, f.options, ReportFormat::Text);
    EXPECT_NE(text.find("O:E unreliable"), std::string::npos) << text;
    EXPECT_NE(text.find("audit.csv:3: 2 fields where 31 are expected"), std::string::npos);
    EXPECT_NE(text.find("Risk bands, P-POSSUM mortality"), std::string::npos);
    EXPECT_NE(text.find("AUROC undefined, no complications"), std::string::npos);
}

// The text fits a terminal of 80 columns whatever the names, reasons and
// signals, and gives dates in one form.
TEST(Report, TextFitsEightyColumnsWithDatesInOneForm) {
    std::string text;
    for (int i = 0; i < 60; ++i)
        text += line(Row{.name = testing::cat("Patient ", std::to_string(i)),
                         .date = testing::cat(std::to_string(1 + i % 28), "/03/2024"),
                         .risks = {"0.0100", "0.0100", "0.0100", "0.0100", "0.0100"},
                         .mortality = i % 2 ? "1" : "0"});
    text += "a line that is far too short and that goes on to quote a great deal of itself\r\n";
    Fixture f = analysed(text);
    f.options.limit = 1.0;
    f.result = analyse(f.data, f.options);
    ReportOptions options;
    options.bandModel = Model::RaaaPossumPhysiologicalMortality;
    const std::string report =
        formatReport(f.data, f.result, f.options, ReportFormat::Text, options);
    ASSERT_NE(report.find("signals, at episode:"), std::string::npos) << report;
    std::size_t start = 0;
    while (start < report.size()) {
        const std::size_t end = report.find('\n', start);
        const std::string_view line = std::string_view(report).substr(start, end - start);
        EXPECT_LE(line.size(), 80u) << line;
        start = end + 1;
    }
    EXPECT_NE(report.find("(2024-03-"), std::string::npos);
    EXPECT_EQ(report.find("/03/2024)"), std::string::npos);
}

TEST(Report, CsvHasOneRowPerModelBandUnitAndPairCompared) {
    const Fixture f = analysed(line(Row{}));
    const std::string csv = formatReport(f.data, f.result, f.options, ReportFormat::Csv);
    std::size_t rows = 0;
    std::size_t pos = 0;
    while ((pos = csv.find("\r\n", pos)) != std::string::npos) {
        ++rows;
        pos += 2;
    }
    // The header; per model its own row and ten bands; one unit (the one file)
    // per model; each of the 21 pairs of the seven mortality models.
    EXPECT_EQ(rows, 1u + kModelCount * 11 + kModelCount + 21);
    EXPECT_EQ(kModelCount, 8u);
    // One episode expects fewer than 5 events: unreliable, coded as the
    // window's tables code it.
    EXPECT_NE(csv.find("possum_morbidity,morbidity,all,1,0,0.2,0,0,18.444397270569677,yes,"),
              std::string::npos)
        << csv.substr(0, 600);
    // Every row has the header's columns; the completeness columns follow
    // few_events.
    const std::string header = csv.substr(0, csv.find("\r\n"));
    EXPECT_EQ(header.find("model,outcome,band,n,"), 0u) << "columns keep their places";
    const auto columns = std::count(header.begin(), header.end(), ',');
    EXPECT_NE(header.find(",excluded_not_scored,intercept_lower,intercept_upper,slope_lower,"
                          "slope_upper,calibration_in_the_large,in_the_large_lower,"
                          "in_the_large_upper,few_events,known_due,"),
              std::string::npos);
    EXPECT_EQ(columns, 64);
    std::size_t start = 0;
    while (start < csv.size()) {
        const std::size_t end = csv.find("\r\n", start);
        const std::string row = csv.substr(start, end - start);
        EXPECT_EQ(std::count(row.begin(), row.end(), ','), columns) << row;
        start = end + 2;
    }
}

// A text cell a spreadsheet would run as a formula is written as text; a
// number stays a number.
TEST(Report, CsvTextCellsNeverStartAFormula) {
    const std::pair<std::string, std::string> cells[] = {
        {"=HYPERLINK(\"http://x\")", "\"'=HYPERLINK(\"\"http://x\"\")\""},
        {"+44 20 7946", "'+44 20 7946"},
        {"-cmd", "'-cmd"},
        {"@SUM(A1)", "'@SUM(A1)"},
        {"\tx", "'\tx"},
        {"=a,b", "\"'=a,b\""},
        {"-0.45", "-0.45"},
        {"Ward 7", "Ward 7"},
        {"a,b", "\"a,b\""},
        {"", ""},
    };
    for (const auto& [text, cell] : cells)
        EXPECT_EQ(spreadsheetTextCell(text), cell) << text;

    // A funnel unit is named after its file, which anyone can name.
    AuditReader reader(ReadOptions{DateOrder::DayMonthYear, 2026});
    reader.addText("=cmd|' /C calc'!A0.csv", line(Row{}));
    const AuditData data = reader.finish();
    const AnalysisOptions options;
    const std::string csv = formatReport(data, analyse(data, options), options, ReportFormat::Csv);
    EXPECT_NE(csv.find(",'=cmd|' /C calc'!A0.csv,"), std::string::npos) << csv.substr(0, 400);
    EXPECT_EQ(csv.find(",=cmd"), std::string::npos);
}

// Numbers of any size are written out whole; nothing but the number is printed.
TEST(Report, NumbersAreFormattedWholeAtAnySize) {
    struct Case {
        double value;
        int decimals;
        std::string text;
    };
    const Case cases[] = {
        {1e100, 2,
         "10000000000000000159028911097599180468360808563945281389781327557747838772170381060813"
         "469985856815104.00"},
        {4.5, 2, "4.50"},
        {-0.001, 2, "0.00"},
        {-1.5, 1, "-1.5"},
        {std::numeric_limits<double>::quiet_NaN(), 2, "nan"},
        {-std::numeric_limits<double>::infinity(), 2, "-inf"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(fixedText(c.value, c.decimals), c.text) << c.value;
    // The largest double with the most decimals: 309 digits, the point, 17 places.
    EXPECT_EQ(fixedText(std::numeric_limits<double>::max(), 17).size(), 327u);
    EXPECT_EQ(shortestText(2.7e92), "2.7e+92");
    EXPECT_EQ(shortestText(0.1), "0.1");
}

} // namespace
} // namespace caldrin::audit
