// SPDX-License-Identifier: GPL-3.0-or-later
// Following episodes up: the leading fields kept as written, the list of
// episodes whose outcome is not known, and how complete each outcome is.

#include "audit/auditanalysis.h"
#include "audit/followup.h"
#include "auditlines.h"
#include "records_core/auditfile.h"
#include "records_core/auditrecord.h"

#include <gtest/gtest.h>

#include <cctype>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/file.h>
#include <unistd.h>

namespace caldrin::audit {
namespace {

using testing::cat;
using testing::line;
using testing::Row;

constexpr Date kToday{2026, 12, 11};

AuditData readKept(const std::string& text) {
    ReadOptions options;
    options.currentYear = 2026;
    options.keepLeadingFields = true;
    AuditReader reader(options);
    reader.addText("audit.csv", text);
    return reader.finish();
}

TEST(LeadingFields, AreKeptAsReadForTheWinningRecordOfAnUnknownOutcome) {
    const Row quoted{.name = "\"Smith, \"\"Jo\"\"\"", .morbidity = "", .mortality = ""};
    const Row known{.name = "Known"};
    const Row first{.name = "Twice", .morbidity = "", .mortality = "x"};
    const Row later{.name = "Twice",
                    .risks = {"0.3000", "0.1000", "0.0500", "0.0400", "0.0300"},
                    .morbidity = "1",
                    .mortality = ""};
    const AuditData data = readKept(cat(line(quoted), line(known), line(first), line(later)));
    ASSERT_EQ(data.episodes().size(), 3u);
    const auto fields = followUpFields(data, 0);
    ASSERT_TRUE(fields);
    EXPECT_EQ((*fields)[0], "Smith, \"Jo\"");
    EXPECT_EQ((*fields)[3], "10/03/2024");
    EXPECT_EQ((*fields)[28], "0.0300");
    EXPECT_TRUE(data.leadingFields(1).empty());
    EXPECT_EQ(followUpFields(data, 2).value_or(LeadingFields{})[auditcolumn::kFirstRisk], "0.3000");
    // Without the option nothing of the identity is kept.
    AuditReader plain;
    plain.addText("audit.csv", line(quoted));
    EXPECT_TRUE(plain.finish().leadingFields(0).empty());
}

// Every kind of line the reader takes, as other programs save them: an
// outcome recorded through the window's writer must read back as one record
// that completes its episode.
struct RecordedLine {
    const char* name;
    std::string text;     // the file, the episode to follow up last
    std::string nameRead; // NAME as the reader reads it
    bool canFollowUp = true;
    std::uint64_t problems = 0; // noted when first read
};

void PrintTo(const RecordedLine& row, std::ostream* out) {
    *out << row.name;
}

class OutcomeRecordedBack : public ::testing::TestWithParam<RecordedLine> {};

std::vector<RecordedLine> recordedLines() {
    const std::string open = testing::figures(Row{.morbidity = "", .mortality = ""});
    const std::string other = line(Row{.name = "Other", .id = "7"});
    const auto rest = [&](std::string_view identity) { return cat(identity, ",", open, "\r\n"); };
    const std::string hash = "0cc175b9c0f1b6a831c399e269772661";
    const std::string cp1252Name(32, '\xE9'); // 32 letters é: a name, not a hash
    return {
        {"unquoted", cat(testing::kHeader, other, rest("Ann Smith,1001,01/02/1950,10/03/2024")),
         "Ann Smith"},
        {"quoted", cat(other, rest("\"Smith, \"\"Jo\"\"\",\"1001\",01/02/1950,10/03/2024")),
         "Smith, \"Jo\""},
        {"quoted with text after the quote",
         cat(other, rest("\"Smith\"son,1001,01/02/1950,10/03/2024")), "Smithson"},
        {"quoted line break", cat(other, rest("\"Ann\r\nSmith\",1001,01/02/1950,10/03/2024")),
         "Ann\r\nSmith"},
        {"bare quotes in NAME and ID", cat(other, rest("a\"b,c\"d,01/02/1950,10/03/2024")), "a\"b"},
        {"bare quote in NAME", cat(other, rest("O\"Brien,1001,01/02/1950,10/03/2024")), "O\"Brien"},
        {"Windows-1252 letters", cat(other, rest("M\xFCller \x80,1001,01/02/1950,10/03/2024")),
         "M\xFCller \x80"},
        {"32 Windows-1252 letters",
         cat(other, rest(cat(cp1252Name, ",1001,01/02/1950,10/03/2024"))), cp1252Name},
        {"hashed identifier", cat(other, rest(cat(hash, ",,,10/03/2024"))), hash},
        {"spaces kept", cat(other, rest(" Ann ,1001 ,01/02/1950,10/03/2024")), " Ann "},
        {"LF line ends and a byte-order mark",
         cat("\xEF\xBB\xBF", other.substr(0, other.size() - 2), "\n",
             "Ann,1001,01/02/1950,10/03/2024,", open, "\n"),
         "Ann"},
        {"last line without a line end", cat(other, "Ann,1001,01/02/1950,10/03/2024,", open), "Ann",
         true, 1},
        {"old line with a comma in the name",
         cat(other, rest("Smith, John,564167,06/11/1940,10/03/2024")), "", false, 1},
        {"no identity", cat(other, rest(",,,10/03/2024")), "", false},
    };
}

TEST_P(OutcomeRecordedBack, CompletesItsEpisodeAsOneMoreRecord) {
    const RecordedLine& row = GetParam();
    const std::filesystem::path path = std::filesystem::temp_directory_path() /
                                       cat("caldrin-recorded-", std::to_string(::getpid()), ".csv");
    std::ofstream(path, std::ios::binary) << row.text;
    const auto read = [&] {
        ReadOptions options;
        options.currentYear = 2026;
        options.keepLeadingFields = true;
        AuditReader reader(options);
        EXPECT_TRUE(reader.addFile(path.string()));
        return reader.finish();
    };
    const AuditData before = read();
    ASSERT_EQ(before.problemCount(), row.problems);
    const std::vector<OutstandingEpisode> outstanding =
        outstandingEpisodes(before, {kToday, 30, {}, {}});
    ASSERT_EQ(outstanding.size(), 1u);
    const OutstandingEpisode& o = outstanding[0];
    const std::optional<LeadingFields> fields = followUpFields(before, o.episode);
    const std::optional<std::string> record =
        fields ? outcomeRecordLine(*fields, true, false) : std::nullopt;
    // What is listed as followed up is exactly what can be written.
    EXPECT_EQ(o.canFollowUp(), record.has_value());
    if (!row.canFollowUp) {
        EXPECT_FALSE(o.canFollowUp());
        std::filesystem::remove(path);
        return;
    }
    ASSERT_TRUE(record);
    EXPECT_EQ((*fields)[0], row.nameRead);
    AuditFile file;
    ASSERT_TRUE(file.open(path.string()));
    ASSERT_TRUE(file.appendRecordLines(*record));
    ASSERT_TRUE(file.close());

    const AuditData after = read();
    std::filesystem::remove(path);
    EXPECT_EQ(after.problemCount(), 0u);
    EXPECT_EQ(after.recordsRead(), before.recordsRead() + 1);
    EXPECT_EQ(after.mergedRecords(), 1u);
    ASSERT_EQ(after.episodes().size(), before.episodes().size());
    EXPECT_TRUE(outstandingEpisodes(after, {kToday, 30, {}, {}}).empty());
    const Episode& completed = after.episodes().back();
    EXPECT_EQ(completed.morbidity, 1);
    EXPECT_EQ(completed.mortality, 0);
    EXPECT_EQ(completed.physiologicalScore, before.episodes()[o.episode].physiologicalScore);
}

INSTANTIATE_TEST_SUITE_P(EveryKindOfLine, OutcomeRecordedBack, ::testing::ValuesIn(recordedLines()),
                         [](const ::testing::TestParamInfo<RecordedLine>& info) {
                             std::string name;
                             for (const char c : std::string_view(info.param.name))
                                 name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             return name;
                         });

TEST(Outstanding, ListsDueFirstAndSaysWhichCannotBeFollowedUp) {
    const std::string unknown;
    const AuditData data = readKept(
        cat(line(Row{.name = "Recent", .date = "01/12/2026", .mortality = unknown}), // 10 days
            line(Row{.name = "Old", .date = "01/06/2026", .mortality = unknown}),    // 193 days
            line(Row{.name = "Undated", .date = "soon", .morbidity = unknown}),      //
            line(Row{.name = "Edge", .date = "11/11/2026", .morbidity = unknown}),   // 30 days
            line(Row{.name = "", .id = "", .dob = "", .date = "01/07/2026", .mortality = unknown}),
            line(Row{.name = "Known", .date = "01/01/2026"}),
            cat("Shifted,extra,1,01/02/1950,01/02/2026,", testing::figures(Row{.mortality = ""}),
                "\r\n")));
    const std::vector<OutstandingEpisode> list = outstandingEpisodes(data, {kToday, 30, {}, {}});
    std::vector<std::string> names;
    for (const OutstandingEpisode& o : list)
        names.push_back(followUpFields(data, o.episode).value_or(LeadingFields{{"(not kept)"}})[0]);
    EXPECT_EQ(names,
              (std::vector<std::string>{"(not kept)", "Old", "", "Edge", "Undated", "Recent"}));
    EXPECT_EQ(list[0].bar, FollowUpBar::IdentityNotTrusted);
    EXPECT_EQ(identityAsWritten(data, list[0].episode), "Shifted,extra,1,01/02/1950");
    EXPECT_EQ(identityText(data, list[0].episode), "as written: Shifted,extra,1,01/02/1950");
    EXPECT_FALSE(identityAsWritten(data, list[1].episode));
    EXPECT_EQ(list[2].bar, FollowUpBar::NoIdentity);
    EXPECT_TRUE(list[1].canFollowUp());
    EXPECT_EQ(list[3].state, FollowUpState::Due);
    EXPECT_EQ(list[3].daysSince, 30);
    EXPECT_EQ(list[4].state, FollowUpState::NoDate);
    EXPECT_FALSE(list[4].daysSince);
    EXPECT_EQ(list[5].state, FollowUpState::NotYetDue);
    EXPECT_EQ(list[5].daysSince, 10);
    // A longer follow-up period makes the 30-day-old episode not yet due.
    EXPECT_EQ(outstandingEpisodes(data, {kToday, 31, {}, {}})[3].state, FollowUpState::NoDate);
}

// Hand-counted: per outcome, known or not, due or not, overall and by month.
TEST(Completeness, CountsEachOutcomeOverallAndByMonth) {
    std::string text;
    int id = 0;
    const auto add = [&](std::string date, std::string morbidity, std::string mortality) {
        text += line(Row{.id = std::to_string(++id),
                         .date = std::move(date),
                         .morbidity = std::move(morbidity),
                         .mortality = std::move(mortality)});
    };
    add("02/10/2026", "0", "1"); // October, due
    add("31/10/2026", "", "0");  // October, due
    add("11/11/2026", "1", "");  // November, exactly 30 days: due
    add("12/11/2026", "", "");   // November, 29 days: not yet due
    add("10/12/2026", "0", "0"); // December, known before due
    add("who knows", "", "1");   // no date: due
    ReadOptions options;
    options.currentYear = 2026;
    AuditReader reader(options);
    reader.addText("audit.csv", text);
    const AuditData data = reader.finish();
    AnalysisOptions analysis;
    analysis.models = {Model::PPossumMortality};
    EXPECT_FALSE(analyse(data, analysis).completeness);
    analysis.today = kToday;
    const auto completeness = analyse(data, analysis).completeness;
    ASSERT_TRUE(completeness);
    const CompletenessCounts& morbidity = completeness->outcomes[0].overall;
    const CompletenessCounts& mortality = completeness->outcomes[1].overall;
    EXPECT_EQ(morbidity.knownDue, 2u);
    EXPECT_EQ(morbidity.knownNotDue, 1u);
    EXPECT_EQ(morbidity.unknownDue, 2u);
    EXPECT_EQ(morbidity.unknownNotDue, 1u);
    EXPECT_EQ(morbidity.unknownNoDate, 1u);
    EXPECT_EQ(mortality.knownDue, 3u);
    EXPECT_EQ(mortality.knownNotDue, 1u);
    EXPECT_EQ(mortality.unknownDue, 1u);
    EXPECT_EQ(mortality.unknownNotDue, 1u);
    EXPECT_EQ(mortality.unknownNoDate, 0u);
    EXPECT_DOUBLE_EQ(*mortality.knownShareOfDue(), 0.75);
    EXPECT_TRUE(completeness->outcomes[1].incomplete());
    const std::vector<MonthCompleteness>& months = completeness->outcomes[1].byMonth;
    ASSERT_EQ(months.size(), 3u);
    EXPECT_EQ(months[0].month, 10);
    EXPECT_EQ(months[0].counts.knownDue, 2u);
    EXPECT_EQ(months[1].month, 11);
    EXPECT_EQ(months[1].counts.unknownDue, 1u);
    EXPECT_EQ(months[1].counts.unknownNotDue, 1u);
    EXPECT_EQ(months[2].year, 2026);
    EXPECT_EQ(months[2].counts.knownNotDue, 1u);
    EXPECT_FALSE(months[2].counts.knownShareOfDue());
    // The date range limits the episodes counted.
    analysis.from = Date{2026, 11, 1};
    EXPECT_EQ(analyse(data, analysis).completeness->outcomes[1].overall.total(), 3u);
}

TEST(Completeness, WarnsBelowNinetyFivePercentOfDueEpisodesOnly) {
    for (const auto& [known, unknown, warned] :
         {std::tuple{19, 1, false}, std::tuple{18, 1, true}, std::tuple{0, 0, false}}) {
        std::string text;
        for (int i = 0; i < known + unknown; ++i)
            text += line(Row{
                .id = std::to_string(i), .date = "01/01/2026", .mortality = i < known ? "0" : ""});
        text += line(Row{.id = "late", .date = "10/12/2026", .mortality = ""});
        AuditReader reader;
        reader.addText("audit.csv", text);
        const AuditData data = reader.finish();
        AnalysisOptions analysis;
        analysis.models = {};
        analysis.today = kToday;
        EXPECT_EQ(analyse(data, analysis).completeness->outcomes[1].incomplete(), warned)
            << known << " of " << known + unknown;
    }
}

// The calculator holds its file with an exclusive lock while it may be
// writing its last line; the reader asks without waiting.
TEST(AuditReaderLock, UnterminatedLastLineIsLeftOnlyWhileAWriterHoldsTheFile) {
    const std::filesystem::path path = std::filesystem::temp_directory_path() /
                                       cat("caldrin-followup-", std::to_string(::getpid()), ".csv");
    const std::string whole = cat(testing::kHeader, line(Row{}), line(Row{.id = "2"}));
    std::ofstream(path, std::ios::binary) << whole.substr(0, whole.size() - 2);
    const int writer = ::open(path.c_str(), O_RDWR | O_APPEND | O_CLOEXEC);
    ASSERT_GE(writer, 0);
    const auto recordsRead = [&] {
        AuditReader reader;
        EXPECT_TRUE(reader.addFile(path.string()));
        return reader.finish().recordsRead();
    };
    ASSERT_EQ(::flock(writer, LOCK_EX | LOCK_NB), 0);
    EXPECT_EQ(recordsRead(), 1u);
    ::flock(writer, LOCK_UN);
    EXPECT_EQ(recordsRead(), 2u);
    // Reading takes no lock that would turn a writer away.
    EXPECT_EQ(::flock(writer, LOCK_EX | LOCK_NB), 0);
    ::close(writer);
    std::filesystem::remove(path);
}

} // namespace
} // namespace caldrin::audit
