// SPDX-License-Identifier: GPL-3.0-or-later
#include "records_core/auditfile.h"
#include "records_core/auditrecord.h"

#include "audittesting.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace caldrin {
namespace {

namespace fs = std::filesystem;
using testing::FakeDevice;
using testing::openerFor;

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const fs::path& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}

Assessment episode(std::uint8_t ps) {
    Assessment a;
    a.physiologicalScore = ps;
    a.operativeScore = 6;
    a.factorPoints.fill(1);
    a.risks = {0.0108, 0.0547, 0.002, 0.0353, 0.1686};
    return a;
}

PatientDetails patient(const std::string& name) {
    PatientDetails d;
    d.name = name;
    d.identity = "A1";
    d.dateOfBirth = "01/02/1950";
    d.dateOfProcedure = "15/06/2026";
    return d;
}

const std::string kFirst = auditRecordLine(episode(12), patient("First"));
const std::string kSecond = auditRecordLine(episode(20), patient("Second"));

class AuditFileOnDisk : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "audit-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir = pattern;
    }
    void TearDown() override { fs::remove_all(dir); }

    fs::path dir;
};

TEST_F(AuditFileOnDisk, CreatedFileGetsTheHeaderOnce) {
    const fs::path path = dir / "audit.CSV";
    AuditFile file;
    ASSERT_TRUE(file.open(path.string()));
    EXPECT_TRUE(file.isOpen());
    // Reaches the disk record by record, not at close.
    ASSERT_TRUE(file.appendRecord(episode(12), patient("First")));
    EXPECT_EQ(readFile(path), auditHeaderLine() + kFirst);
    ASSERT_TRUE(file.appendRecord(episode(20), patient("Second")));
    EXPECT_EQ(readFile(path), auditHeaderLine() + kFirst + kSecond);
    EXPECT_TRUE(file.close());
    EXPECT_FALSE(file.isOpen());
}

struct KeptContentRow {
    const char* name;
    std::string before;
    std::string kept; // what stays ahead of the new records
};

class KeptContent : public AuditFileOnDisk, public ::testing::WithParamInterface<KeptContentRow> {};

TEST_P(KeptContent, RecordsFollowWhatIsKept) {
    const KeptContentRow& row = GetParam();
    const fs::path path = dir / "audit.csv";
    writeFile(path, row.before);
    AuditFile file;
    ASSERT_TRUE(file.open(path.string()));
    ASSERT_TRUE(file.appendRecord(episode(12), patient("First")));
    ASSERT_TRUE(file.appendRecord(episode(20), patient("Second")));
    EXPECT_EQ(readFile(path), row.kept + kFirst + kSecond);
}

const std::string kLongLine = std::string(200, 'y') + "\r\n";

INSTANTIATE_TEST_SUITE_P(
    Existing, KeptContent,
    ::testing::Values(KeptContentRow{"EmptyGetsNoHeader", "", ""},
                      KeptContentRow{"EndedLine", "old,line\r\n", "old,line\r\n"},
                      KeptContentRow{"UnendedLineIsEndedOnce", "old,line", "old,line\r\n"},
                      KeptContentRow{"EndOfFileMark", "old\r\n\x1a", "old\r\n"},
                      KeptContentRow{"CutAtTheFirstMark", "old\r\n\x1a junk \x1a", "old\r\n"},
                      KeptContentRow{"CutInsideALine", "old\x1a\r\n", "old\r\n"},
                      KeptContentRow{"MarkAloneLeavesEmpty", "\x1a", ""},
                      KeptContentRow{"MarkBeforeTheLast128BytesStays", "x\x1a\r\n" + kLongLine,
                                     "x\x1a\r\n" + kLongLine},
                      KeptContentRow{"MarkInTheLast128Bytes",
                                     kLongLine + "z\x1a" + std::string(100, 'w'),
                                     kLongLine + "z\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(AuditFileOnDisk, PathsThatCannotBeOpenedLeaveNothingBehind) {
    AuditFile file;
    EXPECT_FALSE(file.open((dir / "missing" / "audit.CSV").string()));
    EXPECT_FALSE(file.isOpen());
    EXPECT_FALSE(fs::exists(dir / "missing"));

    fs::create_directory(dir / "folder.CSV");
    EXPECT_FALSE(file.open((dir / "folder.CSV").string()));
    EXPECT_FALSE(file.isOpen());
    EXPECT_TRUE(fs::is_directory(dir / "folder.CSV"));

    EXPECT_FALSE(file.appendRecord(episode(12), patient("First")));
    EXPECT_TRUE(file.close());
    EXPECT_TRUE(fs::is_empty(dir / "folder.CSV"));
}

TEST(AuditFileOnDevice, FullDeviceFailsEachRecordAndStaysOpen) {
    AuditFile file;
    ASSERT_TRUE(file.open("/dev/full"));
    EXPECT_FALSE(file.appendRecord(episode(12), patient("First")));
    EXPECT_TRUE(file.isOpen());
    EXPECT_FALSE(file.appendRecord(episode(20), patient("Second")));
    EXPECT_TRUE(file.isOpen());
    EXPECT_TRUE(file.close());
}

TEST_F(AuditFileOnDisk, SecondOpenOfAHeldFileIsRefusedAndChangesNothing) {
    const fs::path path = dir / "audit.CSV";
    AuditFile first;
    ASSERT_TRUE(first.open(path.string()));
    ASSERT_TRUE(first.appendRecord(episode(12), patient("First")));

    // The end-of-file mark would be cut by an open that got the file.
    const std::string held = auditHeaderLine() + kFirst + "\x1a";
    writeFile(path, held);
    AuditFile second;
    EXPECT_FALSE(second.open(path.string()));
    EXPECT_FALSE(second.isOpen());
    EXPECT_EQ(readFile(path), held);

    ASSERT_TRUE(first.close());
    ASSERT_TRUE(second.open(path.string()));
    ASSERT_TRUE(second.appendRecord(episode(20), patient("Second")));
    EXPECT_EQ(readFile(path), auditHeaderLine() + kFirst + kSecond);
}

TEST_F(AuditFileOnDisk, FileHeldByAnotherProcessIsRefused) {
    const fs::path path = dir / "audit.CSV";
    testing::OtherCopyHoldingFile other(path.string());
    ASSERT_TRUE(other.holds());
    AuditFile file;
    EXPECT_FALSE(file.open(path.string()));
    EXPECT_EQ(file.problem(), AuditFileProblem::Locked);

    // The lock goes with the process that held it.
    other.release();
    EXPECT_TRUE(file.open(path.string()));
}

// The audit reader holds the lock for an instant to see whether a writer has
// the file: a record arriving in that instant waits for it instead of being
// turned away.
TEST_F(AuditFileOnDisk, LockHeldForAnInstantIsWaitedFor) {
    const fs::path path = dir / "audit.CSV";
    testing::OtherCopyHoldingFile other(path.string());
    ASSERT_TRUE(other.holds());
    int busy = 0;
    AuditFile file([&](const std::string& name) {
        return openAuditFileSinkWithHook(name, [&](AuditCreationStep step) {
            if (step == AuditCreationStep::LockBusy && ++busy == 1)
                other.release();
        });
    });
    ASSERT_TRUE(file.open(path.string()));
    EXPECT_GE(busy, 1);
    EXPECT_TRUE(file.appendRecord(episode(12), patient("First")));
}

// An outcome learnt later: the earlier record's leading fields quoted as
// every record is, after the line break a file edited elsewhere still owes.
TEST_F(AuditFileOnDisk, OutcomeRecordsRepeatTheLeadingFieldsAfterTheOwedLineBreak) {
    const fs::path path = dir / "audit.CSV";
    const std::string leading = "\"Smith, Jo\",1,01/02/1950,10/03/2024,1,1,1,1,1,1,1,1,1,1,1,1,"
                                "12,1,1,1,1,1,1,6,0.1000,0.0500,0.0100,0.0200,0.0300";
    AuditLeadingFields fields;
    fields.fill("1");
    fields[0] = "Smith, Jo";
    fields[2] = "01/02/1950";
    fields[3] = "10/03/2024";
    fields[auditcolumn::kPhysiologicalTotal] = "12";
    fields[auditcolumn::kOperativeTotal] = "6";
    for (std::size_t i = 0; const char* risk : {"0.1000", "0.0500", "0.0100", "0.0200", "0.0300"})
        fields[auditcolumn::kFirstRisk + i++] = risk;
    const std::string earlier = leading + ",,";
    writeFile(path, earlier);
    AuditFile file;
    ASSERT_TRUE(file.open(path.string()));
    ASSERT_TRUE(file.appendRecordLines(outcomeRecordLine(fields, true, false).value() +
                                       outcomeRecordLine(fields, false, true).value()));
    EXPECT_EQ(readFile(path), earlier + "\r\n" + leading + ",1,0\r\n" + leading + ",0,1\r\n");

    // A record without name, identity number and date of birth is never
    // matched to another, so none is made.
    fields[0] = fields[1] = fields[2] = "";
    EXPECT_FALSE(outcomeRecordLine(fields, true, true));
}

TEST_F(AuditFileOnDisk, LineThatCannotBeWrittenWholeIsTakenBack) {
    const fs::path path = dir / "audit.CSV";
    writeFile(path, "old\r\n");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Room for a few bytes of the record only.
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{20, 20};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        AuditFile file;
        const bool opened = file.open(path.string());
        const bool written = file.appendRecord(episode(12), patient("First"));
        const bool stillOpen = file.isOpen();
        ::_exit(opened && !written && stillOpen ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(readFile(path), "old\r\n");
}

std::vector<std::string> namesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    return names;
}

// Runs `body` in a child process and tells whether it exited with 0.
template <typename Body> bool inChild(Body body) {
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(body() ? 0 : 1);
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

TEST_F(AuditFileOnDisk, NewFileIsReadableByItsOwnerOnlyAndOldFilesKeepTheirMode) {
    const mode_t umaskBefore = ::umask(022);
    const fs::path created = dir / "new.CSV";
    const fs::path existing = dir / "old.CSV";
    writeFile(existing, "old\r\n");
    fs::permissions(existing, fs::perms(0644));
    for (const fs::path& path : {created, existing}) {
        AuditFile file;
        ASSERT_TRUE(file.open(path.string()));
        ASSERT_TRUE(file.appendRecord(episode(12), patient("First")));
        ASSERT_TRUE(file.close());
    }
    ::umask(umaskBefore);
    EXPECT_EQ(fs::status(created).permissions(), fs::perms(0600));
    EXPECT_EQ(fs::status(existing).permissions(), fs::perms(0644));
    EXPECT_EQ(readFile(created), auditHeaderLine() + kFirst);
}

struct ForeignFileRow {
    const char* name;
    std::string content;
};

class ForeignFile : public AuditFileOnDisk, public ::testing::WithParamInterface<ForeignFileRow> {};

// The end-of-file mark belongs to 8-bit text; elsewhere the byte 26 is part of
// a character, and Windows-1252 records would spoil the file anyway.
TEST_P(ForeignFile, IsRefusedAndLeftUntouched) {
    const fs::path path = dir / "foreign.csv";
    writeFile(path, GetParam().content);
    AuditFile file;
    EXPECT_FALSE(file.open(path.string()));
    EXPECT_FALSE(file.isOpen());
    EXPECT_EQ(file.problem(), AuditFileProblem::NotText);
    EXPECT_EQ(readFile(path), GetParam().content);
}

using namespace std::string_literals;
// "Ě" (U+011A) in UTF-16 LE is 1A 01.
const std::string kUtf16WithMarkByte = "\xff\xfe"
                                       "N\0a\0m\0e\0\r\0\n\0\x1a\x01\r\0\n\0"s;

INSTANTIATE_TEST_SUITE_P(
    Existing, ForeignFile,
    ::testing::Values(ForeignFileRow{"Utf16LittleEndian", kUtf16WithMarkByte},
                      ForeignFileRow{"Utf16BigEndian", "\xfe\xff\0N\0a\0\r\0\n"s},
                      ForeignFileRow{"Utf32LittleEndian", "\xff\xfe\0\0N\0\0\0"s},
                      ForeignFileRow{"Utf32BigEndian", "\0\0\xfe\xff\0\0\0N"s},
                      ForeignFileRow{"NulInTheTail", std::string(300, 'x') + "\0\0\x1a\x02 data"s}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(AuditFileOnDisk, RecordFollowsTheNameWhenTheFileIsReplacedOrDeleted) {
    const fs::path path = dir / "audit.CSV";
    AuditFile file;
    ASSERT_TRUE(file.open(path.string()));
    ASSERT_TRUE(file.appendRecord(episode(12), patient("First")));

    // Saved over by another program: a copy written beside it, renamed over it.
    const std::string copy = readFile(path) + "edited,elsewhere";
    writeFile(dir / "copy.tmp", copy);
    fs::rename(dir / "copy.tmp", path);
    ASSERT_TRUE(file.appendRecord(episode(20), patient("Second")));
    EXPECT_EQ(readFile(path), copy + "\r\n" + kSecond);

    // Deleted: made again, header first.
    fs::remove(path);
    ASSERT_TRUE(file.appendRecord(episode(12), patient("First")));
    EXPECT_EQ(readFile(path), auditHeaderLine() + kFirst);

    // Replaced by a file it must not write into: refused, and still open.
    fs::remove(path);
    writeFile(path, kUtf16WithMarkByte);
    EXPECT_FALSE(file.appendRecord(episode(20), patient("Second")));
    EXPECT_EQ(file.problem(), AuditFileProblem::NotText);
    EXPECT_TRUE(file.isOpen());
    EXPECT_EQ(readFile(path), kUtf16WithMarkByte);
}

TEST_F(AuditFileOnDisk, HeaderThatCannotBeWrittenLeavesNoFileBehind) {
    const fs::path path = dir / "audit.CSV";
    // A file system with room for a few bytes only.
    EXPECT_TRUE(inChild([&] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{20, 20};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        AuditFile file;
        return !file.open(path.string()) && file.problem() == AuditFileProblem::CannotOpen;
    }));
    EXPECT_TRUE(namesIn(dir).empty());

    AuditFile file;
    ASSERT_TRUE(file.open(path.string()));
    ASSERT_TRUE(file.appendRecord(episode(12), patient("First")));
    EXPECT_EQ(readFile(path), auditHeaderLine() + kFirst);
}

TEST_F(AuditFileOnDisk, KillWhileCreatingLeavesNoFileOrTheWholeHeader) {
    const int probe = ::open(dir.c_str(), O_TMPFILE | O_RDWR, 0600);
    const bool unnamedFiles = probe >= 0;
    if (probe >= 0)
        ::close(probe);
    for (const AuditCreationStep step :
         {AuditCreationStep::Unnamed, AuditCreationStep::HeaderWritten,
          AuditCreationStep::HeaderSynced, AuditCreationStep::Named}) {
        SCOPED_TRACE(static_cast<int>(step));
        const fs::path path = dir / ("audit" + std::to_string(static_cast<int>(step)) + ".CSV");
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            openAuditFileSinkWithHook(path.string(), [step](AuditCreationStep done) {
                if (done == step)
                    ::raise(SIGKILL);
            });
            ::_exit(0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status));
        const bool named = step == AuditCreationStep::Named;
        EXPECT_EQ(fs::exists(path), named);
        // Where the file system has unnamed files, nothing else is left lying
        // about; elsewhere a temporary file may stay, never at the name.
        if (unnamedFiles) {
            EXPECT_EQ(namesIn(dir).size(), named ? 1u : 0u);
        }
        if (named) {
            EXPECT_EQ(readFile(path), auditHeaderLine());
        }

        AuditFile file;
        ASSERT_TRUE(file.open(path.string()));
        ASSERT_TRUE(file.appendRecord(episode(12), patient("First")));
        EXPECT_EQ(readFile(path), auditHeaderLine() + kFirst);
        fs::remove(path);
    }
}

// An account without privileges: root reads every file whatever its mode.
constexpr uid_t kUnprivileged = 65534;

TEST_F(AuditFileOnDisk, WritableButUnreadableFileIsRefusedUntouched) {
    const fs::path path = dir / "audit.CSV";
    const std::string content = "old\r\n\x1a";
    writeFile(path, content);
    ASSERT_EQ(::chown(dir.c_str(), kUnprivileged, kUnprivileged), 0);
    ASSERT_EQ(::chown(path.c_str(), kUnprivileged, kUnprivileged), 0);
    fs::permissions(path, fs::perms(0200));
    EXPECT_TRUE(inChild([&] {
        if (::getuid() == 0 && (::setgid(kUnprivileged) != 0 || ::setuid(kUnprivileged) != 0))
            return false;
        AuditFile file;
        return !file.open(path.string()) && file.problem() == AuditFileProblem::Unreadable;
    }));
    EXPECT_EQ(readFile(path), content);

    // An empty one has no end to check.
    writeFile(path, "");
    EXPECT_TRUE(inChild([&] {
        if (::getuid() == 0 && (::setgid(kUnprivileged) != 0 || ::setuid(kUnprivileged) != 0))
            return false;
        AuditFile file;
        return file.open(path.string()) && file.appendRecord(episode(12), patient("First"));
    }));
    EXPECT_EQ(readFile(path), kFirst);
}

TEST(AuditFileHeader, HeaderThatFailsTakesNoRecordAndComesWithTheNext) {
    FakeDevice device;
    device.failuresLeft = 1;
    AuditFile file(openerFor(device, true));
    ASSERT_TRUE(file.open("new.CSV"));
    EXPECT_FALSE(file.appendRecord(episode(12), patient("First")));
    EXPECT_TRUE(device.written.empty());
    EXPECT_TRUE(file.isOpen());

    ASSERT_TRUE(file.appendRecord(episode(20), patient("Second")));
    ASSERT_TRUE(file.appendRecord(episode(12), patient("First")));
    EXPECT_EQ(device.appends, (std::vector<std::string>{auditHeaderLine() + kSecond, kFirst}));
}

TEST(AuditFileHeader, PieceLeftByAFailedLineIsEndedBeforeTheNextRecord) {
    FakeDevice device;
    device.failuresLeft = 1;
    device.failuresLeavePart = true;
    AuditFile file(openerFor(device, false));
    ASSERT_TRUE(file.open("old.CSV"));
    EXPECT_FALSE(file.appendRecord(episode(12), patient("First")));
    EXPECT_EQ(file.problem(), AuditFileProblem::WriteFailed);
    ASSERT_TRUE(file.appendRecord(episode(20), patient("Second")));
    ASSERT_TRUE(file.appendRecord(episode(12), patient("First")));
    EXPECT_EQ(device.written, kFirst.substr(0, kFirst.size() / 2) + "\r\n" + kSecond + kFirst);
}

TEST(AuditFileClose, ReportsTheCloseAndForgetsTheFile) {
    FakeDevice device;
    device.closeFails = true;
    AuditFile file(openerFor(device, false));
    EXPECT_TRUE(file.close()); // nothing open: nothing to report
    ASSERT_TRUE(file.open("old.CSV"));
    EXPECT_FALSE(file.close());
    EXPECT_FALSE(file.isOpen());
    EXPECT_TRUE(file.close());
}

} // namespace
} // namespace caldrin
