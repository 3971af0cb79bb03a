// SPDX-License-Identifier: GPL-3.0-or-later
#include "audit/auditanalysis.h"
#include "auditformat/cp1252.h"
#include "records_core/auditrecord.h"
#include "records_core/datecheck.h"

#include <gtest/gtest.h>

#include <string>

namespace caldrin {
namespace {

struct WrittenRecord {
    const char* what;
    PatientDetails details;
    std::uint8_t physiologicalScore;
    std::uint8_t operativeScore;
    double risk; // every model's risk
    audit::Date date;
};

PatientDetails patient(std::string name, std::string date, std::string morbidity,
                       std::string died) {
    PatientDetails d;
    d.name = std::move(name);
    d.identity = "A1";
    d.dateOfBirth = "01/02/1950";
    d.dateOfProcedure = std::move(date);
    d.morbidity = std::move(morbidity);
    d.died = std::move(died);
    return d;
}

PatientDetails hashed(std::string date) {
    PatientDetails d = patient("", std::move(date), "1", "1");
    d.hashedIdentifier = "0123456789abcdef0123456789ABCDEF";
    return d;
}

Assessment assessment(std::uint8_t ps, std::uint8_t os, double risk) {
    Assessment a;
    a.physiologicalScore = ps;
    a.operativeScore = os;
    a.factorPoints.fill(1);
    for (double& r : a.risks)
        r = risk;
    return a;
}

// Each record is read back alone, after the header a new file gets.
TEST(AuditFileRoundTrip, TheReaderReadsEveryFieldTheWriterWrote) {
    const WrittenRecord records[] = {
        {"comma and quotes in the name",
         patient("\"Jack\" Smith, John", "15/06/2026", "1", "0"),
         24,
         12,
         0.1234,
         {2026, 6, 15}},
        {"two-digit year", patient("Jones", "3/1/26", "0", "1"), 12, 6, 0.5, {2026, 1, 3}},
        {"risk 0.0000", patient("Low", "29/02/2024", "0", "0"), 12, 6, 0.0, {2024, 2, 29}},
        {"risk 1.0000", patient("High", "31/12/1999", "1", "1"), 88, 48, 1.0, {1999, 12, 31}},
        {"Windows-1252 letters",
         patient("Ren\xe9\x9e \x8a\xf6", "01/01/2025", "1", "0"),
         20,
         10,
         0.0547,
         {2025, 1, 1}},
        {"hashed identifier", hashed("10/10/10"), 30, 20, 0.9999, {2010, 10, 10}},
    };
    const audit::ReadOptions options{audit::DateOrder::DayMonthYear, 2026};
    for (const WrittenRecord& record : records) {
        SCOPED_TRACE(record.what);
        const Assessment written =
            assessment(record.physiologicalScore, record.operativeScore, record.risk);
        audit::AuditReader reader(options);
        reader.addText("audit.csv", auditHeaderLine() + auditRecordLine(written, record.details));
        const audit::AuditData data = reader.finish();

        ASSERT_EQ(data.episodes().size(), 1u);
        EXPECT_EQ(data.problemCount(), 0u);
        EXPECT_EQ(data.files()[0].headerLines, 1u);
        const audit::Episode& e = data.episodes()[0];
        EXPECT_FALSE(e.identityUnreliable);
        EXPECT_EQ(e.physiologicalScore, record.physiologicalScore);
        EXPECT_EQ(e.operativeScore, record.operativeScore);
        for (std::size_t m = 0; m < audit::kStoredModelCount; ++m)
            EXPECT_DOUBLE_EQ(e.risk(audit::kAllModels[m]), record.risk);
        EXPECT_EQ(e.morbidity, record.details.morbidity == "1" ? 1 : 0);
        EXPECT_EQ(e.mortality, record.details.died == "1" ? 1 : 0);
        EXPECT_EQ(data.dateText(0), record.details.dateOfProcedure);
        EXPECT_EQ(e.day, audit::dayNumber(record.date));
        // The calculator accepted the date by the same rule.
        EXPECT_EQ(checkDate(record.details.dateOfProcedure,
                            DateFormat{DateOrder::DayMonthYear, '/'}, 2026),
                  record.date);
    }
}

// The identity columns come back whole: a second record of the same patient
// replaces the first, one of a name that differs only after its comma does not.
TEST(AuditFileRoundTrip, NamesWithCommasKeepTheirIdentity) {
    const Assessment written = assessment(20, 10, 0.2);
    audit::AuditReader reader;
    reader.addText("audit.csv",
                   auditRecordLine(written, patient("Smith, John", "15/06/2026", "0", "0")) +
                       auditRecordLine(written, patient("Smith, Joan", "15/06/2026", "0", "0")) +
                       auditRecordLine(written, patient("Smith, John", "15/06/2026", "1", "1")));
    const audit::AuditData data = reader.finish();
    EXPECT_EQ(data.problemCount(), 0u);
    EXPECT_EQ(data.mergedRecords(), 1u);
    ASSERT_EQ(data.episodes().size(), 2u);
}

// Every byte the writer can produce reads back as the character it was typed
// as; the five bytes the code page leaves undefined are never written and read
// as U+FFFD, in both the calculator's and the report's conversion.
TEST(Cp1252, EveryDefinedByteRoundTripsTheFiveUndefinedReadAsReplacement) {
    for (int value = 0; value < 256; ++value) {
        const std::string byte(1, static_cast<char>(value));
        const std::u16string text = fromCp1252(byte);
        ASSERT_EQ(text.size(), 1u);
        const bool undefined =
            value == 0x81 || value == 0x8D || value == 0x8F || value == 0x90 || value == 0x9D;
        if (undefined) {
            EXPECT_EQ(text[0], kReplacementCharacter) << value;
            EXPECT_EQ(utf8FromCp1252(byte), "\xEF\xBF\xBD") << value;
            EXPECT_FALSE(toCp1252(text)) << value;
        } else {
            EXPECT_EQ(toCp1252(text), byte) << value;
        }
    }
    EXPECT_EQ(utf8FromCp1252("\x80\xe9\x9f"),
              "\xE2\x82\xAC\xC3\xA9\xC5\xB8"); // euro, e-acute, Y-diaeresis
    EXPECT_FALSE(isCp1252Representable(u'\u0081'));
}

} // namespace
} // namespace caldrin
