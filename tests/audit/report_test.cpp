#include "audit/auditreport.h"
#include "auditlines.h"

#include <gtest/gtest.h>

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
    for (const char* part :
         {"\"model\": \"possum_morbidity\"", "\"model\": \"possum_mortality\"",
          "\"model\": \"p_possum_mortality\"", "\"model\": \"raaa_possum_mortality\"",
          "\"model\": \"raaa_possum_physiological_mortality\"",
          "\"model\": \"v_possum_2001_mortality\"",
          "\"model\": \"v_possum_2001_physiological_mortality\"",
          "\"model\": \"p_possum_1998_mortality\"", "\"outcome\": \"mortality\"", "\"read\": 2",
          "\"merged\": 0", "\"line\": 3", "\"df\": 8", "\"odds_ratio\": 2", "\"limit\": 4.5",
          // no deaths expected in the top band: O:E undefined
          "\"from\": 0.9, \"to\": 1, \"n\": 0, \"observed\": 0, \"expected\": 0, \"oe\": null, "
          "\"oe_ci\": null"})
        EXPECT_NE(json.find(part), std::string::npos) << part;
    // The keys the ruptured-aneurysm risks had are gone rather than given a new meaning.
    EXPECT_EQ(json.find("\"v_possum_mortality\""), std::string::npos);
    EXPECT_EQ(json.find("\"v_possum_physiological_mortality\""), std::string::npos);
    // Morbidity has no events: AUROC null.
    EXPECT_NE(json.find("\"auroc\": null"), std::string::npos);
    // Windows-1252 curly quotes become UTF-8.
    EXPECT_NE(json.find("\xe2\x80\x9c"), std::string::npos);
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

TEST(Report, CsvHasOneRowPerModelAndBand) {
    const Fixture f = analysed(line(Row{}));
    const std::string csv = formatReport(f.data, f.result, f.options, ReportFormat::Csv);
    std::size_t rows = 0;
    std::size_t pos = 0;
    while ((pos = csv.find("\r\n", pos)) != std::string::npos) {
        ++rows;
        pos += 2;
    }
    EXPECT_EQ(rows, 1u + kModelCount * 11);
    EXPECT_EQ(kModelCount, 8u);
    // Every row has the header's 25 columns.
    std::size_t start = 0;
    while (start < csv.size()) {
        const std::size_t end = csv.find("\r\n", start);
        const std::string row = csv.substr(start, end - start);
        EXPECT_EQ(std::count(row.begin(), row.end(), ','), 24) << row;
        start = end + 2;
    }
}

} // namespace
} // namespace caldrin::audit
