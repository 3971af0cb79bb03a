// SPDX-License-Identifier: GPL-3.0-or-later
#include "records_core/auditfile.h"

#include "records_core/auditrecord.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace caldrin {

namespace {

constexpr char kEndOfFileMark = 26;
constexpr off_t kEndOfFileWindow = 128;
// New files hold names and dates of birth.
constexpr mode_t kNewFileMode = 0600;

bool readAt(int fd, char* buffer, std::size_t count, off_t offset) {
    while (count > 0) {
        const ssize_t got = ::pread(fd, buffer, count, offset);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        buffer += got;
        count -= static_cast<std::size_t>(got);
        offset += got;
    }
    return true;
}

// Writes all of `bytes`; `written` tells how much went out, also on failure.
bool writeAll(int fd, std::string_view bytes, std::size_t& written) {
    written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        written += static_cast<std::size_t>(n);
    }
    return true;
}

bool syncToDisk(int fd) {
    if (::fsync(fd) == 0)
        return true;
    // Devices that cannot be synchronised have nothing more to wait for.
    return errno == EINVAL || errno == EROFS;
}

void closeQuietly(int fd) {
    if (fd >= 0)
        ::close(fd);
}

class FileSink : public AuditSink {
public:
    FileSink(int fd, bool regular, std::string path)
        : fd_(fd)
        , regular_(regular)
        , path_(std::move(path)) {}
    ~FileSink() override { closeQuietly(fd_); }
    FileSink(const FileSink&) = delete;
    FileSink& operator=(const FileSink&) = delete;

    AuditAppend append(std::string_view bytes) override {
        off_t sizeBefore = -1;
        if (regular_) {
            struct stat st {};
            if (::fstat(fd_, &st) == 0)
                sizeBefore = st.st_size;
        }
        std::size_t written = 0;
        if (writeAll(fd_, bytes, written) && syncToDisk(fd_))
            return AuditAppend::Written;
        if (sizeBefore >= 0 && ::ftruncate(fd_, sizeBefore) == 0)
            return AuditAppend::Failed;
        return written == 0 ? AuditAppend::Failed : AuditAppend::FailedPartLeft;
    }

    bool stillAtPath() const override {
        struct stat open {};
        struct stat named {};
        if (::fstat(fd_, &open) != 0 || open.st_nlink == 0)
            return false;
        if (::stat(path_.c_str(), &named) != 0)
            return false;
        return open.st_dev == named.st_dev && open.st_ino == named.st_ino;
    }

    bool close() override {
        const int fd = fd_;
        fd_ = -1;
        // Linux releases the descriptor even when close is interrupted.
        return ::close(fd) == 0 || errno == EINTR;
    }

private:
    int fd_;
    bool regular_;
    std::string path_;
};

// Opens an existing file for appending, with read access where the
// permissions allow it (needed to look at its end).
int openExisting(const std::string& path, bool& readable) {
    for (;;) {
        int fd = ::open(path.c_str(), O_RDWR | O_APPEND | O_CLOEXEC);
        readable = fd >= 0;
        if (fd < 0 && errno == EACCES)
            fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
        if (fd >= 0 || errno != EINTR)
            return fd;
    }
}

// A byte-order mark of UTF-16 or UTF-32 (either byte order) at the start.
bool startsWithWideMark(int fd, off_t size) {
    std::array<unsigned char, 4> head{};
    const auto count = static_cast<std::size_t>(std::min<off_t>(size, 4));
    if (!readAt(fd, reinterpret_cast<char*>(head.data()), count, 0))
        return false;
    const auto startsWith = [&](std::initializer_list<unsigned char> mark) {
        return mark.size() <= count && std::equal(mark.begin(), mark.end(), head.begin());
    };
    return startsWith({0xFF, 0xFE}) || startsWith({0xFE, 0xFF}) ||
           startsWith({0x00, 0x00, 0xFE, 0xFF});
}

// Checks that an existing file is 8-bit text, cuts it at the first
// end-of-file mark of its last 128 bytes, and tells whether what remains ends
// in the middle of a line. Old tools padded the end of 8-bit text files with
// that mark; in a file of wider characters the same byte is part of a
// character, so such a file is refused before anything is cut.
AuditFileProblem prepareExisting(int fd, bool& endsWithoutLineBreak) {
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return AuditFileProblem::CannotOpen;
    off_t size = st.st_size;
    if (size == 0)
        return AuditFileProblem::None;
    const off_t windowStart = size - std::min(size, kEndOfFileWindow);
    char window[kEndOfFileWindow];
    const auto windowSize = static_cast<std::size_t>(size - windowStart);
    if (!readAt(fd, window, windowSize, windowStart))
        return AuditFileProblem::CannotOpen;
    if (startsWithWideMark(fd, size) ||
        std::find(window, window + windowSize, '\0') != window + windowSize)
        return AuditFileProblem::NotText;
    const char* mark = std::find(window, window + windowSize, kEndOfFileMark);
    if (mark != window + windowSize) {
        size = windowStart + (mark - window);
        if (::ftruncate(fd, size) != 0)
            return AuditFileProblem::CannotOpen;
    }
    if (size > 0) {
        char last = 0;
        if (!readAt(fd, &last, 1, size - 1))
            return AuditFileProblem::CannotOpen;
        endsWithoutLineBreak = last != '\n';
    }
    return AuditFileProblem::None;
}

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

void syncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        (void)::fsync(fd);
        ::close(fd);
    }
}

struct Created {
    int fd = -1;
    bool nameTaken = false; // another file got the name first
};

// Creates `path` with `header` as its content. The header is written to a
// file in the same folder that has no name yet, made durable, and only then
// given the name, if the name is still free: a failure or a kill at any point
// leaves either no file at all or the whole header.
Created createWithHeader(const std::string& path, std::string_view header,
                         const AuditCreationHook& afterStep) {
    const auto step = [&](AuditCreationStep done) {
        if (afterStep)
            afterStep(done);
    };
    Created created;
    if (path.empty() || path.back() == '/')
        return created;
    const std::string folder = folderOf(path);
    std::string temporaryName; // only where the file system has no unnamed files
    int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, kNewFileMode);
    if (fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
        temporaryName = path + ".XXXXXX";
        fd = ::mkostemp(temporaryName.data(), O_CLOEXEC); // mode 0600
        if (fd < 0)
            temporaryName.clear();
    }
    if (fd < 0)
        return created;
    step(AuditCreationStep::Unnamed);

    std::size_t written = 0;
    bool named = writeAll(fd, header, written);
    if (named)
        step(AuditCreationStep::HeaderWritten);
    named = named && ::fsync(fd) == 0;
    if (named) {
        step(AuditCreationStep::HeaderSynced);
        if (temporaryName.empty()) {
            const std::string self = "/proc/self/fd/" + std::to_string(fd);
            named =
                ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0;
        } else {
            named = ::link(temporaryName.c_str(), path.c_str()) == 0;
        }
        created.nameTaken = !named && errno == EEXIST;
    }
    if (!temporaryName.empty())
        ::unlink(temporaryName.c_str());
    if (!named) {
        ::close(fd);
        return created;
    }
    syncFolder(folder);
    step(AuditCreationStep::Named);
    // The unnamed file was opened for reading and writing; records are appended.
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_APPEND) != 0) {
        ::close(fd);
        return created;
    }
    created.fd = fd;
    return created;
}

// Takes the file's exclusive lock, trying again every 20 ms for as long as
// another program holds it, up to kAuditLockPatienceMs. False with errno
// EWOULDBLOCK when it stayed held.
bool takeLock(int fd, const AuditCreationHook& step) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point giveUp = Clock::now() + std::chrono::milliseconds(kAuditLockPatienceMs);
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK || Clock::now() >= giveUp)
            return false;
        if (step)
            step(AuditCreationStep::LockBusy);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

} // namespace

OpenedAuditSink openAuditFileSinkWithHook(const std::string& path,
                                          const AuditCreationHook& afterStep) {
    OpenedAuditSink opened;
    opened.problem = AuditFileProblem::CannotOpen;
    bool readable = false;
    bool created = false;
    int fd = openExisting(path, readable);
    if (fd < 0 && errno == ENOENT) {
        const Created made = createWithHeader(path, auditHeaderLine(), afterStep);
        fd = made.fd;
        created = fd >= 0;
        readable = created;
        if (made.nameTaken) // someone else created it in between
            fd = openExisting(path, readable);
    }
    if (fd < 0)
        return opened;

    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        ::close(fd);
        return opened;
    }
    const bool regular = S_ISREG(st.st_mode);
    if (regular) {
        // Held until the file is closed; a second copy of the program is
        // turned away here, before anything of the file is changed.
        if (!takeLock(fd, afterStep)) {
            if (errno == EWOULDBLOCK)
                opened.problem = AuditFileProblem::Locked;
            ::close(fd);
            return opened;
        }
        if (!created) {
            // Without read access the end of a non-empty file cannot be
            // checked, and a record might be joined to its last line or go
            // after an end-of-file mark.
            const AuditFileProblem problem = readable
                                                 ? prepareExisting(fd, opened.endsWithoutLineBreak)
                                             : st.st_size > 0 ? AuditFileProblem::Unreadable
                                                              : AuditFileProblem::None;
            if (problem != AuditFileProblem::None) {
                ::close(fd);
                opened.problem = problem;
                return opened;
            }
        }
    }
    opened.sink = std::make_unique<FileSink>(fd, regular, path);
    opened.problem = AuditFileProblem::None;
    return opened;
}

OpenedAuditSink openAuditFileSink(const std::string& path) {
    return openAuditFileSinkWithHook(path, {});
}

AuditFile::AuditFile(AuditSinkOpener opener)
    : opener_(std::move(opener)) {}

AuditFile::~AuditFile() = default;

void AuditFile::take(OpenedAuditSink opened) {
    sink_ = std::move(opened.sink);
    owesHeader_ = opened.owesHeader;
    owesLineBreak_ = opened.endsWithoutLineBreak;
}

bool AuditFile::open(const std::string& path) {
    OpenedAuditSink opened = opener_(path);
    if (!opened.sink) {
        problem_ = opened.problem == AuditFileProblem::None ? AuditFileProblem::CannotOpen
                                                            : opened.problem;
        return false;
    }
    path_ = path;
    take(std::move(opened));
    problem_ = AuditFileProblem::None;
    return true;
}

// A record written to a file that no longer has the name would be lost with
// it (a spreadsheet saving over the name, a file moved or deleted): the name
// is opened again, as on the first press. The old file stays open until the
// new one is, so a failure here leaves things as they were.
bool AuditFile::reopen() {
    OpenedAuditSink opened = opener_(path_);
    if (!opened.sink) {
        problem_ = opened.problem == AuditFileProblem::None ? AuditFileProblem::CannotOpen
                                                            : opened.problem;
        return false;
    }
    (void)sink_->close();
    take(std::move(opened));
    return true;
}

bool AuditFile::appendRecord(const Assessment& assessment, const PatientDetails& details) {
    return appendRecordLines(auditRecordLine(assessment, details));
}

bool AuditFile::appendRecordLines(std::string_view lines) {
    if (!sink_) {
        problem_ = AuditFileProblem::CannotOpen;
        return false;
    }
    if (!sink_->stillAtPath() && !reopen())
        return false;
    // Header and record go out together: a header that cannot be written
    // takes no record with it, and is tried again with the next one.
    std::string line;
    if (owesLineBreak_)
        line += kAuditLineEnd;
    if (owesHeader_)
        line += auditHeaderLine();
    line += lines;
    switch (sink_->append(line)) {
    case AuditAppend::Written:
        owesHeader_ = false;
        owesLineBreak_ = false;
        problem_ = AuditFileProblem::None;
        return true;
    case AuditAppend::FailedPartLeft:
        // The piece left behind must not get the next record joined to it.
        owesLineBreak_ = true;
        break;
    case AuditAppend::Failed:
        break;
    }
    problem_ = AuditFileProblem::WriteFailed;
    return false;
}

bool AuditFile::close() {
    if (!sink_)
        return true;
    std::unique_ptr<AuditSink> sink = std::move(sink_);
    owesHeader_ = false;
    owesLineBreak_ = false;
    return sink->close();
}

} // namespace caldrin
