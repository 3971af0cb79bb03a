// SPDX-License-Identifier: GPL-3.0-or-later
#include "audit/auditanalysis.h"
#include "auditlines.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace caldrin::audit {
namespace {

using testing::line;
using testing::Row;

AuditData read(std::string_view text, ReadOptions options = {}) {
    AuditReader reader(options);
    reader.addText("audit.csv", text);
    return reader.finish();
}

TEST(AuditReader, ReadsWhatTheCalculatorWritesHeaderOrNot) {
    Row row;
    const std::string records = line(row) + line(Row{.name = "Bob Jones"});
    for (const std::string& text : {testing::kHeader + records, records}) {
        const AuditData data = read(text);
        EXPECT_EQ(data.recordsRead(), 2u);
        ASSERT_EQ(data.episodes().size(), 2u);
        EXPECT_EQ(data.problemCount(), 0u);
        const Episode& e = data.episodes()[0];
        EXPECT_EQ(e.riskTenThousandths[0], 2000); // morbidity first
        EXPECT_EQ(e.riskTenThousandths[2], 500);
        EXPECT_DOUBLE_EQ(e.risk(Model::PPossumMortality), 0.05);
        EXPECT_EQ(e.physiologicalScore, 20);
        EXPECT_EQ(e.operativeScore, 10);
        EXPECT_EQ(e.day, dayNumber({2024, 3, 10}));
        EXPECT_EQ(data.dateText(0), "10/03/2024");
        EXPECT_EQ(e.line, text.starts_with("NAME") ? 2u : 1u);
    }
}

TEST(AuditReader, LineEndsQuotesAndJoinedHeaders) {
    Row quoted;
    // A name with a comma and a quote, quoted as the calculator now writes it.
    const std::string quotedLine = testing::cat("\"Smith, \"\"Jo\"\"\",7,01/01/1960,01/04/2024,",
                                                testing::figures(quoted), "\n");
    const std::string text = testing::cat(testing::kHeader, line(Row{}), quotedLine, "\n",
                                          testing::kHeader, line(Row{.name = "Cy"}));
    const AuditData data = read(text);
    EXPECT_EQ(data.recordsRead(), 3u);
    EXPECT_EQ(data.problemCount(), 0u);
    EXPECT_EQ(data.files()[0].headerLines, 2u);
    EXPECT_EQ(data.files()[0].blankLines, 1u);
    EXPECT_EQ(data.dateText(1), "01/04/2024");
    EXPECT_FALSE(data.episodes()[1].identityUnreliable);
}

TEST(AuditReader, QuotedLineEndStaysInItsField) {
    const std::string text = testing::cat("\"two\r\nlines\",1,01/01/1960,02/04/2024,",
                                          testing::figures(Row{}), "\r\n", line(Row{}));
    const AuditData data = read(text);
    EXPECT_EQ(data.recordsRead(), 2u);
    EXPECT_EQ(data.files()[0].lines, 3u);
    EXPECT_EQ(data.episodes()[1].line, 3u);
}

TEST(AuditReader, ShiftedLineIsReadFromTheRightAndNeverMerged) {
    Row row{.name = "Smith, John", .morbidity = "1"};
    // Unquoted, as older versions wrote it: 32 fields.
    const std::string shifted = line(row);
    const AuditData data = read(shifted + shifted);
    ASSERT_EQ(data.episodes().size(), 2u); // the same text twice, still two episodes
    EXPECT_EQ(data.mergedRecords(), 0u);
    const Episode& e = data.episodes()[0];
    EXPECT_TRUE(e.identityUnreliable);
    EXPECT_EQ(e.morbidity, 1);
    EXPECT_EQ(e.riskTenThousandths[4], 300);
    EXPECT_EQ(data.dateText(0), "10/03/2024");
    ASSERT_EQ(data.files()[0].problems.size(), 2u);
    const ReadingProblem& p = data.files()[0].problems[0];
    EXPECT_EQ(p.line, 1u);
    EXPECT_FALSE(p.skipped);
    EXPECT_NE(p.reason.find("32 fields"), std::string::npos);
}

TEST(AuditReader, UnreadableLinesAreListedWithTheirLineAndSkipped) {
    Row badRisk;
    badRisk.risks[2] = "0.12345";
    Row overOne;
    overOne.risks[0] = "1.0001";
    Row badTotal{.ps = 300};
    Row shiftedBad{.name = "A, B"};
    shiftedBad.risks[1] = "x";
    struct Case {
        std::string text;
        std::string reasonPart;
    };
    const Case cases[] = {
        {"a,b,c\r\n", "3 fields where 31"},
        {line(badRisk), "P-P_MORT holds \"0.12345\""},
        {line(overOne), "P_MORB holds \"1.0001\""},
        {line(badTotal), "PHYS_TOTAL holds \"300\""},
        {line(shiftedBad), "read from the right column P_MORT"},
        {"\"never closed,1,2\r\n", "never closed"},
    };
    for (const Case& c : cases) {
        const AuditData data = read(line(Row{}) + c.text + line(Row{.name = "Z"}));
        EXPECT_EQ(data.recordsRead(), 2u) << c.text;
        ASSERT_EQ(data.files()[0].problems.size(), 1u) << c.text;
        const ReadingProblem& p = data.files()[0].problems[0];
        EXPECT_EQ(p.line, 2u) << c.text;
        EXPECT_TRUE(p.skipped);
        EXPECT_NE(p.reason.find(c.reasonPart), std::string::npos) << p.reason;
    }
}

TEST(AuditReader, ProblemTextIsUtf8AndCannotDriveATerminal) {
    Row row;
    row.risks[0] = "\x1b[31m\xe9";
    const AuditData data = read(line(row));
    ASSERT_EQ(data.problemCount(), 1u);
    const std::string& reason = data.files()[0].problems[0].reason;
    EXPECT_EQ(reason.find('\x1b'), std::string::npos);
    EXPECT_NE(reason.find("?[31m\xc3\xa9"), std::string::npos) << reason;
}

// Only while a writer holds the file can a last line without a line end be
// a record still being written; otherwise another program left it so.
TEST(AuditReader, LastLineWithoutLineEndIsReadUnlessAWriterHoldsTheFile) {
    const std::string whole = testing::cat(line(Row{}), line(Row{.id = "2"}));
    const std::string unterminated = whole.substr(0, whole.size() - 2);
    const std::string unfinished = line(Row{}) + "Bob,2,01/01/1950,10/03/2024,1,1,1";
    struct Case {
        std::string name;
        std::string text;
        bool writerHolds;
        std::uint64_t records;
        std::string says;
        bool skipped;
    };
    const Case cases[] = {
        {"whole record, writer", unterminated, true, 1, "may still be being written", true},
        {"whole record, no writer", unterminated, false, 2, "no line end", false},
        {"whole record ending in CR, no writer", whole.substr(0, whole.size() - 1), false, 2,
         "no line end", false},
        {"piece of a record, writer", unfinished, true, 1, "may still be being written", true},
        {"piece of a record, no writer", unfinished, false, 1, "7 fields", true},
    };
    for (const Case& c : cases) {
        AuditReader reader;
        reader.addText("audit.csv", c.text, c.writerHolds);
        const AuditData data = reader.finish();
        EXPECT_EQ(data.recordsRead(), c.records) << c.name;
        ASSERT_EQ(data.problemCount(), 1u) << c.name;
        const ReadingProblem& problem = data.files()[0].problems[0];
        EXPECT_EQ(problem.line, 2u) << c.name;
        EXPECT_NE(problem.reason.find(c.says), std::string::npos) << c.name << problem.reason;
        EXPECT_EQ(problem.skipped, c.skipped) << c.name;
        EXPECT_EQ(data.files()[0].lines, 2u) << c.name;
    }
    // An end-of-file mark is no record.
    EXPECT_EQ(read(line(Row{}) + "\x1a").problemCount(), 0u);
    // The record read is the record written: the CR is no part of its outcome.
    AuditReader reader;
    reader.addText("audit.csv", whole.substr(0, whole.size() - 1));
    EXPECT_EQ(reader.finish().episodes().back().mortality, 0);
}

TEST(AuditReader, MergesRepeatedEpisodesTheLastOneWinning) {
    const std::string hash = "0123456789abcdef0123456789abcdef";
    Row first{.name = hash, .id = "", .dob = "", .mortality = ""};
    Row again = first;
    again.mortality = "1";
    Row otherDay = first;
    otherDay.date = "11/03/2024";
    Row plain{.name = "Ann"};
    Row plainOtherDob{.name = "Ann", .dob = "02/02/1950"};
    Row anonymous{.name = "", .id = "", .dob = ""};
    const std::string text = line(first) + line(plain) + line(anonymous) + line(again) +
                             line(otherDay) + line(plainOtherDob) + line(anonymous) + line(plain);
    const AuditData data = read(text);
    EXPECT_EQ(data.recordsRead(), 8u);
    EXPECT_EQ(data.mergedRecords(), 2u); // the hash on 10/03 and Ann's first record
    ASSERT_EQ(data.episodes().size(), 6u);
    // Episodes stand where their winning record stands.
    std::vector<std::uint32_t> lines;
    for (const Episode& e : data.episodes())
        lines.push_back(e.line);
    EXPECT_EQ(lines, (std::vector<std::uint32_t>{3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(data.episodes()[1].mortality, 1);
    // A name of 32 letters is a name, not a hash: two patients of that name
    // on one day stay two episodes.
    const std::string longName(32, '\xC9');
    EXPECT_EQ(read(line(Row{.name = longName, .id = "1"}) + line(Row{.name = longName, .id = "2"}))
                  .mergedRecords(),
              0u);
}

TEST(AuditReader, MergesAcrossFilesInTheOrderGiven) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() /
        testing::cat("caldrin-audit-reader-", std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    Row early{.name = "Ann", .mortality = "0"};
    Row late{.name = "Ann", .mortality = "1"};
    std::ofstream(dir / "a.csv", std::ios::binary) << line(early);
    std::ofstream(dir / "b.csv", std::ios::binary) << line(late);
    AuditReader reader;
    EXPECT_TRUE(reader.addFile((dir / "a.csv").string()));
    EXPECT_TRUE(reader.addFile((dir / "b.csv").string()));
    EXPECT_FALSE(reader.addFile((dir / "missing.csv").string()));
    const AuditData data = reader.finish();
    ASSERT_EQ(data.episodes().size(), 1u);
    EXPECT_EQ(data.episodes()[0].mortality, 1);
    EXPECT_EQ(data.episodes()[0].file, 1u);
    EXPECT_FALSE(data.files()[2].opened);
    EXPECT_FALSE(data.files()[2].openError.empty());
    std::filesystem::remove_all(dir);
}

TEST(AuditReader, LargeFileReadInBlocksGivesTheSameRecords) {
    // Records cross block boundaries; a cancel stops at once.
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() /
        testing::cat("caldrin-audit-blocks-", std::to_string(::getpid()), ".csv");
    std::string text;
    for (int i = 0; i < 30000; ++i)
        text += line(Row{.name = testing::cat("P", std::to_string(i))});
    std::ofstream(path, std::ios::binary) << text;
    AuditReader reader;
    std::uint64_t lastDone = 0;
    EXPECT_TRUE(reader.addFile(path.string(),
                               [&](std::string_view, std::uint64_t done, std::uint64_t total) {
                                   EXPECT_EQ(total, text.size());
                                   lastDone = done;
                                   return true;
                               }));
    EXPECT_EQ(lastDone, text.size());
    EXPECT_EQ(reader.finish().episodes().size(), 30000u);

    AuditReader cancelled;
    EXPECT_FALSE(cancelled.addFile(path.string(), [](auto, auto, auto) { return false; }));
    EXPECT_TRUE(cancelled.files()[0].cancelled);
    std::filesystem::remove(path);
}

// A text file that is no audit data file is named for what it is, in one
// sentence; files and text read alike.
TEST(AuditReader, FilesThatAreNotAuditFilesAreNamedForWhatTheyAre) {
    std::string utf16;
    for (const char c : testing::kHeader + line(Row{}))
        utf16 += std::string{c, '\0'};
    std::string binary = "\x7F"
                         "ELF\x02\x01\x01";
    binary += std::string(200, '\0') + line(Row{});
    std::string csv;
    for (int i = 0; i < 50; ++i)
        csv += "alpha,beta,gamma\r\n";
    struct Case {
        std::string text;
        FileKind kind;
    };
    const std::vector<Case> cases = {
        {"", FileKind::Empty},
        {"\xEF\xBB\xBF", FileKind::Empty},
        {"\r\n\r\n  \r\n", FileKind::BlankLines},
        {testing::kHeader + "\r\n", FileKind::HeaderOnly},
        {csv, FileKind::NotAuditData},
        // An audit file with broken lines keeps its problems line by line.
        {testing::kHeader + "broken,line\r\n", FileKind::AuditData},
        {line(Row{}) + "broken,line\r\n", FileKind::AuditData},
    };
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() /
        testing::cat("caldrin-audit-kind-", std::to_string(::getpid()), ".csv");
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        std::ofstream(path, std::ios::binary | std::ios::trunc) << c.text;
        AuditReader fromFile;
        EXPECT_TRUE(fromFile.addFile(path.string()));
        AuditReader fromText;
        fromText.addText("kind.csv", c.text);
        for (const FileSummary& file : {fromFile.files()[0], fromText.files()[0]}) {
            EXPECT_EQ(file.kind, c.kind) << "case " << i;
            EXPECT_EQ(file.problemCount() == 0,
                      c.kind != FileKind::AuditData && c.kind != FileKind::NotAuditData);
            EXPECT_EQ(fileKindText(file.kind).empty(), c.kind == FileKind::AuditData);
        }
    }
    std::filesystem::remove(path);
}

TEST(ProcedureDate, OrdersSeparatorsAndTwoDigitYears) {
    struct Case {
        std::string_view text;
        DateOrder order;
        std::optional<Date> date;
    };
    const Case cases[] = {
        {"10/03/2024", DateOrder::DayMonthYear, Date{2024, 3, 10}},
        {"10-03-2024", DateOrder::DayMonthYear, Date{2024, 3, 10}},
        {" 10 . 3 . 24 ", DateOrder::DayMonthYear, Date{2024, 3, 10}},
        {"03/10/2024", DateOrder::MonthDayYear, Date{2024, 3, 10}},
        {"2024/03/10", DateOrder::YearMonthDay, Date{2024, 3, 10}},
        {"1/1/99", DateOrder::DayMonthYear, Date{2099, 1, 1}}, // the current century, as typed
        {"29/02/2023", DateOrder::DayMonthYear, std::nullopt},
        {"29/02/2024", DateOrder::DayMonthYear, Date{2024, 2, 29}},
        {"10/03-2024", DateOrder::DayMonthYear, std::nullopt},
        {"10/03", DateOrder::DayMonthYear, std::nullopt},
        {"13/13/2024", DateOrder::DayMonthYear, std::nullopt},
        {"", DateOrder::DayMonthYear, std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(readProcedureDate(c.text, c.order, 2026), c.date) << c.text;
    EXPECT_EQ(dateFromDayNumber(dayNumber({2024, 2, 29})), (Date{2024, 2, 29}));
    EXPECT_EQ(dayNumber({1970, 1, 1}), 0);
}

TEST(AuditData, DatesCanBeReadAgainInAnotherOrder) {
    AuditData data =
        read(line(Row{.date = "03/10/2024"}) + line(Row{.name = "B", .date = "13/10/2024"}));
    EXPECT_EQ(data.episodes()[0].day, dayNumber({2024, 10, 3}));
    data.rereadDates(DateOrder::MonthDayYear, 2026);
    EXPECT_EQ(data.episodes()[0].day, dayNumber({2024, 3, 10}));
    EXPECT_EQ(data.episodes()[1].day, Episode::kNoDay);
    EXPECT_EQ(data.unparseableDates(), 1u);
}

} // namespace
} // namespace caldrin::audit

namespace caldrin::audit {
namespace {

// Damaged files: bytes dropped, doubled or replaced by separators, quotes and
// line ends. Every line start must end up as a record, a listed problem, a
// header or a blank line; none may vanish.
TEST(AuditReader, KeepsTheFirstThousandProblemsAndCountsTheRest) {
    std::string text;
    for (int i = 0; i < 2500; ++i)
        text += ",\n";
    text += line(Row{});
    const AuditData data = read(text);
    const FileSummary& file = data.files()[0];
    EXPECT_EQ(file.problems.size(), kProblemsKept);
    EXPECT_EQ(file.problemsNotKept, 2500 - kProblemsKept);
    EXPECT_EQ(data.problemCount(), 2500u);
    EXPECT_EQ(file.problems.back().line, kProblemsKept);
    EXPECT_EQ(data.recordsRead(), 1u);
}

TEST(AuditReader, RefusesWhatIsNotTextWhole) {
    const std::string utf16 = std::string("\xFF\xFE", 2) + std::string("N\0A\0M\0E\0", 8);
    std::string ascii16;
    for (const char c : line(Row{}) + line(Row{}))
        ascii16 += std::string(1, c) + std::string(1, '\0');
    std::string random;
    std::mt19937 engine(5);
    for (int i = 0; i < 5000; ++i)
        random += static_cast<char>(engine());
    struct Case {
        std::string name;
        std::string text;
        std::string says;
    };
    const Case cases[] = {
        {"UTF-16 with its mark", utf16, "UTF-16"},
        {"UTF-16 without a mark", ascii16, "UTF-16"},
        {"zeros", std::string(100000, '\0'), "not text"},
        {"random bytes", random, "not text"},
    };
    for (const Case& c : cases) {
        const AuditData data = read(c.text);
        const FileSummary& file = data.files()[0];
        EXPECT_FALSE(file.opened) << c.name;
        EXPECT_NE(file.openError.find(c.says), std::string::npos) << c.name << file.openError;
        EXPECT_EQ(data.problemCount(), 0u) << c.name;
    }
    // A stray control code in a real file costs its line only.
    const AuditData damaged = read(line(Row{}) + std::string("\0\n", 2) + line(Row{.id = "2"}));
    EXPECT_TRUE(damaged.files()[0].opened);
    EXPECT_EQ(damaged.recordsRead(), 2u);
    EXPECT_EQ(damaged.problemCount(), 1u);
}

class AuditReaderFiles : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               testing::cat("caldrin-reader-", std::to_string(::getpid()));
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string write(const std::string& name, const std::string& text) {
        const auto path = dir_ / name;
        std::ofstream(path, std::ios::binary) << text;
        return path.string();
    }
    std::filesystem::path dir_;
};

// Lines are the line ends, and a last line without one when it holds
// anything; every problem carries the line its record starts on.
TEST_F(AuditReaderFiles, CountsEveryPhysicalLineAndPlacesEachProblem) {
    const std::string bad = "not,a,record\n";
    const std::string longField(5 << 20, 'x');
    struct Case {
        std::string name;
        std::string text;
        std::uint64_t lines;
        std::vector<std::uint64_t> problemLines;
        // Read from memory there is no 4 MiB bound, so a long line may be
        // read further.
        std::optional<std::vector<std::uint64_t>> problemLinesFromMemory = std::nullopt;
    };
    const Case cases[] = {
        {"three bytes, no line end", "a,b", 1, {1}},
        {"one record", line(Row{}), 1, {}},
        {"a quote left open at the end", line(Row{}) + "\"open\nstill", 3, {2, 3}},
        {"a quote left open on the last line", line(Row{}) + "a,\"b", 2, {2}},
        {"a long line without a line end", longField, 1, {1}},
        {"a long line with a line end", longField + "\n" + bad, 2, {1, 2}},
        {"a long record with a line end inside quotes",
         "\"a\nb\"," + longField + "\n" + bad,
         3,
         {1, 3},
         std::vector<std::uint64_t>{1, 2, 3}},
        {"blank lines around", "\n" + bad + "\n", 3, {2}},
    };
    // From memory in one piece, and from a file in blocks smaller than a long line.
    for (const Case& c : cases) {
        AuditReader fromFile;
        fromFile.addFile(write("lines.csv", c.text));
        for (const AuditData& data : {read(c.text), fromFile.finish()}) {
            const FileSummary& file = data.files()[0];
            EXPECT_EQ(file.lines, c.lines) << c.name;
            std::vector<std::uint64_t> lines;
            for (const ReadingProblem& p : file.problems)
                lines.push_back(p.line);
            const bool fromMemory = file.path == "audit.csv";
            EXPECT_EQ(lines, fromMemory ? c.problemLinesFromMemory.value_or(c.problemLines)
                                        : c.problemLines)
                << c.name << (fromMemory ? " from memory" : " from a file");
        }
    }
}

TEST_F(AuditReaderFiles, ReadsAFileOnceHoweverItIsNamed) {
    const std::string a = write("a.csv", line(Row{.name = ""}) + line(Row{.name = "", .id = ""}));
    const std::string b = write("b.csv", line(Row{.name = "B"}));
    std::filesystem::create_hard_link(a, dir_ / "hard.csv");
    std::filesystem::create_symlink(a, dir_ / "soft.csv");
    AuditReader reader;
    for (const std::string& path : {a, b, (dir_ / "hard.csv").string(),
                                    (dir_ / "soft.csv").string(), (dir_ / "." / "a.csv").string()})
        EXPECT_TRUE(reader.addFile(path));
    const AuditData data = reader.finish();
    EXPECT_EQ(data.recordsRead(), 3u);
    ASSERT_EQ(data.files().size(), 5u);
    EXPECT_FALSE(data.files()[1].sameFileAs);
    for (std::size_t i = 2; i < 5; ++i)
        EXPECT_EQ(data.files()[i].sameFileAs, 0u) << i;
}

TEST_F(AuditReaderFiles, ReadsPipesButNotDevices) {
    AuditReader reader;
    EXPECT_FALSE(reader.addFile("/dev/zero"));
    EXPECT_NE(reader.files().back().openError.find("not a regular file"), std::string::npos);
    EXPECT_FALSE(reader.addFile(dir_.string()));

    const auto fifo = dir_ / "pipe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::thread writer([&] {
        std::ofstream out(fifo, std::ios::binary);
        for (int i = 0; i < 3000; ++i)
            out << line(Row{.name = testing::cat("P", std::to_string(i))});
    });
    EXPECT_TRUE(reader.addFile(fifo.string()));
    writer.join();
    EXPECT_EQ(reader.files().back().records, 3000u);
    EXPECT_EQ(reader.files().back().problemCount(), 0u);
}

TEST(AuditReader, DamagedFilesLoseNoLineSilently) {
    std::string clean = testing::kHeader;
    for (int i = 0; i < 40; ++i)
        clean +=
            line(Row{.name = testing::cat("P", std::to_string(i)), .mortality = i % 3 ? "0" : "1"});
    std::mt19937 engine(3);
    const char kNasty[] = {',', '"', '\n', '\r', '\x1a', '\0', 'x', '9', '.'};
    for (int trial = 0; trial < 300; ++trial) {
        std::string text = clean;
        const int edits = 1 + static_cast<int>(engine() % 8);
        for (int e = 0; e < edits; ++e) {
            const std::size_t at = engine() % text.size();
            switch (engine() % 3) {
            case 0:
                text.erase(at, 1 + engine() % 3);
                break;
            case 1:
                text.insert(at, 1, kNasty[engine() % sizeof kNasty]);
                break;
            default:
                text[at] = kNasty[engine() % sizeof kNasty];
            }
        }
        const AuditData data = read(text);
        const FileSummary& file = data.files()[0];
        std::uint64_t skipped = 0;
        for (const ReadingProblem& p : file.problems) {
            skipped += p.skipped;
            EXPECT_GE(p.line, 1u);
            EXPECT_LE(p.line, file.lines);
        }
        const std::uint64_t accounted = file.records + skipped + file.headerLines + file.blankLines;
        if (text.find('"') == std::string::npos) {
            EXPECT_EQ(accounted, file.lines) << text;
        } else {
            EXPECT_LE(accounted, file.lines);
        }
    }
}

} // namespace
} // namespace caldrin::audit
