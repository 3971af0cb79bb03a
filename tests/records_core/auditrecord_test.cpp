// SPDX-License-Identifier: GPL-3.0-or-later
#include "records_core/auditfilename.h"
#include "records_core/auditrecord.h"
#include "scoring/risk.h"

#include <gtest/gtest.h>

#include <limits>
#include <locale>
#include <string>
#include <vector>

namespace caldrin {
namespace {

// Splits a line the way a spreadsheet reads it: commas outside quotes
// separate, "" inside quotes is one quote.
std::vector<std::string> parseCsvLine(const std::string& line) {
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
                fields.back() += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                fields.back() += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    return fields;
}

Assessment assessmentFor(std::uint8_t ps, std::uint8_t os) {
    Assessment a;
    a.physiologicalScore = ps;
    a.operativeScore = os;
    for (std::size_t kind = 0; kind < kRiskKindCount; ++kind)
        a.risks[kind] = ComputeRisk(static_cast<RiskKind>(kind), ps, os);
    return a;
}

PatientDetails plainDetails() {
    PatientDetails d;
    d.name = "Jones";
    d.identity = "A123";
    d.dateOfBirth = "01/02/1950";
    d.dateOfProcedure = "15/06/2026";
    d.morbidity = "1";
    d.died = "0";
    return d;
}

TEST(AuditHeader, NamesTheThirtyOneColumns) {
    EXPECT_EQ(auditHeaderLine(),
              "NAME,ID,DOB,DATE,AGE,CARDIAC,RESPIRATORY,BP,PULSE,GCS,Hb,WCC,Urea,Na+,K+,ECG,"
              "PHYS_TOTAL,OP_SEV,MULT,BL_LOSS,SOIL,MALIG,MODE,OP_TOTAL,"
              "P_MORB,P_MORT,P-P_MORT,V_MORT,VP_MORT,MORBIDITY,MORTALITY\r\n");
}

TEST(AuditRecord, WorkedEpisodeFieldByField) {
    // Age..ECG, then the six operative factors; Potassium never answered.
    Assessment a = assessmentFor(12, 6);
    a.factorPoints = {1, 2, 1, 4, 1, 1, 1, 1, 1, 1, 0, 1, 1, 1, 1, 1, 1, 1};
    PatientDetails d = plainDetails();
    d.name = "M\xfcller"; // Windows-1252 u-umlaut, written as the byte it is

    const std::string line = auditRecordLine(a, d);
    ASSERT_GE(line.size(), 2u);
    EXPECT_EQ(line.substr(line.size() - 2), "\r\n");
    EXPECT_EQ(line.find('\n'), line.size() - 1);

    const std::vector<std::string> expected = {
        "M\xfcller", "A123",   "01/02/1950", "15/06/2026", "1",      "2", "1", "4",
        "1",         "1",      "1",          "1",          "1",      "1", "0", "1",
        "12",        "1",      "1",          "1",          "1",      "1", "1", "6",
        "0.0547",    "0.0108", "0.0020",     "0.0353",     "0.1686", "1", "0"};
    EXPECT_EQ(parseCsvLine(line.substr(0, line.size() - 2)), expected);
}

struct FractionRow {
    const char* name;
    std::uint8_t ps;
    std::uint8_t os;
    RiskKind kind;
    const char* text;
};

class AuditFractions : public ::testing::TestWithParam<FractionRow> {};

// A comma as decimal separator in the program's global C++ locale must not
// reach the file.
class CommaDecimals : public std::numpunct<char> {
protected:
    char do_decimal_point() const override { return ','; }
};

TEST_P(AuditFractions, FourDecimalsWithAFullStop) {
    const FractionRow& row = GetParam();
    const std::locale previous = std::locale::global(std::locale(std::locale(), new CommaDecimals));
    const std::string text = formatAuditFraction(ComputeRisk(row.kind, row.ps, row.os));
    std::locale::global(previous);
    EXPECT_EQ(text, row.text);
}

INSTANTIATE_TEST_SUITE_P(
    Worked, AuditFractions,
    ::testing::Values(FractionRow{"MorbidityPS12OS6", 12, 6, RiskKind::PossumMorbidity, "0.0547"},
                      FractionRow{"MortalityPS30OS15", 30, 15, RiskKind::PossumMortality, "0.3230"},
                      FractionRow{"MortalityPS88OS48", 88, 48, RiskKind::PossumMortality, "1.0000"},
                      FractionRow{"PhysiologicalPS12", 12, 6,
                                  RiskKind::RaaaPossumPhysiologicalMortality, "0.1686"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AuditFraction, BoundsAndUnsetRisks) {
    EXPECT_EQ(formatAuditFraction(0.0), "0.0000");
    EXPECT_EQ(formatAuditFraction(1.0), "1.0000");
    EXPECT_EQ(formatAuditFraction(0.99996), "1.0000");
    EXPECT_EQ(formatAuditFraction(0.00004), "0.0000");
}

// The formatter must not lean on ComputeRisk's range: whatever it is given,
// the column keeps its six characters.
TEST(AuditFraction, ValuesOutsideZeroToOneKeepTheSixCharacterForm) {
    const struct {
        double value;
        const char* text;
    } cases[] = {{1e60, "1.0000"},
                 {1.5, "1.0000"},
                 {-0.0, "0.0000"},
                 {-0.25, "0.0000"},
                 {-1e60, "0.0000"},
                 {std::numeric_limits<double>::infinity(), "1.0000"},
                 {std::numeric_limits<double>::quiet_NaN(), "0.0000"}};
    for (const auto& c : cases)
        EXPECT_EQ(formatAuditFraction(c.value), c.text) << c.value;
}

TEST(AuditRecord, HashedIdentifierReplacesNameIdentityAndBirthDate) {
    PatientDetails d = plainDetails();
    d.hashedIdentifier = "af5384974eb44bd49790518c45c0e986";
    const std::string line = auditRecordLine(assessmentFor(12, 6), d);
    EXPECT_EQ(line.rfind("af5384974eb44bd49790518c45c0e986,,,15/06/2026,", 0), 0u) << line;
    EXPECT_EQ(line.find("Jones"), std::string::npos);
}

TEST(AuditRecord, OnlyThirtyTwoCharactersCountAsAHash) {
    for (const std::size_t length : {0u, 1u, 31u, 33u}) {
        PatientDetails d = plainDetails();
        d.hashedIdentifier = std::string(length, 'a');
        EXPECT_EQ(auditRecordLine(Assessment{}, d).rfind("Jones,A123,01/02/1950,15/06/2026,", 0),
                  0u)
            << "identifier of " << length << " characters";
    }
    PatientDetails d = plainDetails();
    d.hashedIdentifier = std::string(32, ' '); // the length decides, not the digits
    EXPECT_EQ(auditRecordLine(Assessment{}, d).rfind(std::string(32, ' ') + ",,,15/06/2026,", 0),
              0u);
}

TEST(AuditRecord, UnansweredFactorsAndTotalsAreZero) {
    PatientDetails d;
    EXPECT_EQ(auditRecordLine(Assessment{}, d), ",,,,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,"
                                                "0.0000,0.0000,0.0000,0.0000,0.0000,,\r\n");
}

TEST(AuditRecord, FieldsThatWouldBreakTheLineAreQuoted) {
    PatientDetails d = plainDetails();
    d.name = "Smith, \"Jack\"";
    d.identity = "12\r\n34";
    d.died = "yes, sadly";
    const std::string line = auditRecordLine(assessmentFor(12, 6), d);
    EXPECT_EQ(line.rfind("\"Smith, \"\"Jack\"\"\",\"12\r\n34\",01/02/1950,", 0), 0u) << line;

    const std::vector<std::string> fields = parseCsvLine(line.substr(0, line.size() - 2));
    ASSERT_EQ(fields.size(), kAuditFieldCount);
    EXPECT_EQ(fields[0], d.name);
    EXPECT_EQ(fields[1], d.identity);
    EXPECT_EQ(fields[30], d.died);
    EXPECT_EQ(fields[24], "0.0547");
}

TEST(AuditRecord, OtherTextIsWrittenExactly) {
    for (const std::string text :
         {" spaced ", "semi;colon", "tab\there", "apos'trophe", "\x80\xff"}) {
        EXPECT_EQ(quoteCsvField(text), text);
    }
    EXPECT_EQ(quoteCsvField("\""), "\"\"\"\"");
    EXPECT_EQ(quoteCsvField("a\rb"), "\"a\rb\"");
}

struct NameRow {
    const char* name;
    const char* chosen;
    AuditFileFilter filter;
    const char* completed;
};

class AuditFileNames : public ::testing::TestWithParam<NameRow> {};

TEST_P(AuditFileNames, CompletedByFilterChoice) {
    const NameRow& row = GetParam();
    EXPECT_EQ(completeAuditFileName(row.chosen, row.filter), row.completed);
}

INSTANTIATE_TEST_SUITE_P(
    Table, AuditFileNames,
    ::testing::Values(
        NameRow{"CsvAppended", "/tmp/x/audit", AuditFileFilter::Csv, "/tmp/x/audit.CSV"},
        NameRow{"TextAppended", "/tmp/x/audit", AuditFileFilter::Text, "/tmp/x/audit.TXT"},
        NameRow{"AllUnchanged", "/tmp/x/audit", AuditFileFilter::All, "/tmp/x/audit"},
        NameRow{"OtherExtensionStays", "/tmp/x/audit.dat", AuditFileFilter::Csv,
                "/tmp/x/audit.dat"},
        NameRow{"LowerCaseStays", "/tmp/x/Audit.csv", AuditFileFilter::Text, "/tmp/x/Audit.csv"},
        NameRow{"BareFullStopStays", "/tmp/x/audit.", AuditFileFilter::Csv, "/tmp/x/audit."},
        NameRow{"DottedFolder", "/tmp/v1.2/audit", AuditFileFilter::Csv, "/tmp/v1.2/audit.CSV"},
        NameRow{"DottedFolderBackslash", "C:\\v1.2\\Audit", AuditFileFilter::Text,
                "C:\\v1.2\\Audit.TXT"},
        NameRow{"DriveColon", "C:audit", AuditFileFilter::Csv, "C:audit.CSV"},
        NameRow{"HiddenFileHasOne", "/home/u/.audit", AuditFileFilter::Csv, "/home/u/.audit"},
        NameRow{"NoFolder", "audit", AuditFileFilter::Csv, "audit.CSV"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace caldrin
