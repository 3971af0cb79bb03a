// SPDX-License-Identifier: GPL-3.0-or-later
// Following episodes up: the leading fields kept as written, the list of
// episodes whose outcome is not known, and how complete each outcome is.

#include "audit/auditanalysis.h"
#include "audit/followup.h"
#include "auditlines.h"

#include <gtest/gtest.h>

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

// The bytes before the 30th field, as a line holds them.
std::string leadingOf(const std::string& recordLine) {
    std::string withoutEnd = recordLine.substr(0, recordLine.size() - 2);
    for (int i = 0; i < 2; ++i)
        withoutEnd.erase(withoutEnd.rfind(','));
    return withoutEnd;
}

TEST(LeadingFields, AreKeptAsWrittenForTheWinningRecordOfAnUnknownOutcome) {
    const Row quoted{.name = "\"Smith, \"\"Jo\"\"\"", .morbidity = "", .mortality = ""};
    const Row known{.name = "Known"};
    const Row first{.name = "Twice", .morbidity = "", .mortality = "x"};
    const Row later{.name = "Twice",
                    .risks = {"0.3000", "0.1000", "0.0500", "0.0400", "0.0300"},
                    .morbidity = "1",
                    .mortality = ""};
    const AuditData data = readKept(cat(line(quoted), line(known), line(first), line(later)));
    ASSERT_EQ(data.episodes().size(), 3u);
    EXPECT_EQ(data.leadingFields(0), leadingOf(line(quoted)));
    EXPECT_EQ(data.leadingFields(1), "");
    EXPECT_EQ(data.leadingFields(2), leadingOf(line(later)));
    const auto fields = splitLeadingFields(data.leadingFields(0));
    ASSERT_TRUE(fields);
    EXPECT_EQ((*fields)[0], "Smith, \"Jo\"");
    EXPECT_EQ((*fields)[3], "10/03/2024");
    EXPECT_EQ((*fields)[28], "0.0300");
    // Without the option nothing of the identity is kept.
    AuditReader plain;
    plain.addText("audit.csv", line(quoted));
    EXPECT_EQ(plain.finish().leadingFields(0), "");
    EXPECT_FALSE(splitLeadingFields("a,b"));
}

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
        names.push_back(splitLeadingFields(data.leadingFields(o.episode))
                            .value_or(LeadingFields{{"(not kept)"}})[0]);
    EXPECT_EQ(names,
              (std::vector<std::string>{"(not kept)", "Old", "", "Edge", "Undated", "Recent"}));
    EXPECT_EQ(list[0].bar, FollowUpBar::IdentityNotTrusted);
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
