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

#include <sys/resource.h>
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

    // The lock goes with the process that held it.
    other.release();
    EXPECT_TRUE(file.open(path.string()));
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
