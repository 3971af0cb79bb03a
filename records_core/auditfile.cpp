#include "records_core/auditfile.h"

#include "records_core/auditrecord.h"

#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace caldrin {

namespace {

constexpr char kEndOfFileMark = 26;
constexpr off_t kEndOfFileWindow = 128;

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

class FileSink : public AuditSink {
public:
    FileSink(int fd, bool regular)
        : fd_(fd)
        , regular_(regular) {}
    ~FileSink() override {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FileSink(const FileSink&) = delete;
    FileSink& operator=(const FileSink&) = delete;

    bool append(std::string_view bytes) override {
        off_t sizeBefore = -1;
        if (regular_) {
            struct stat st {};
            if (::fstat(fd_, &st) == 0)
                sizeBefore = st.st_size;
        }
        if (writeAll(bytes) && syncToDisk())
            return true;
        if (sizeBefore >= 0)
            (void)::ftruncate(fd_, sizeBefore);
        return false;
    }

    bool close() override {
        const int fd = fd_;
        fd_ = -1;
        // Linux releases the descriptor even when close is interrupted.
        return ::close(fd) == 0 || errno == EINTR;
    }

private:
    bool writeAll(std::string_view bytes) {
        while (!bytes.empty()) {
            const ssize_t written = ::write(fd_, bytes.data(), bytes.size());
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0)
                return false;
            bytes.remove_prefix(static_cast<std::size_t>(written));
        }
        return true;
    }

    bool syncToDisk() {
        if (::fsync(fd_) == 0)
            return true;
        // Devices that cannot be synchronised have nothing more to wait for.
        return errno == EINVAL || errno == EROFS;
    }

    int fd_;
    bool regular_;
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

// Cuts the file at the first end-of-file mark of its last 128 bytes and tells
// whether what remains ends in the middle of a line.
bool prepareExisting(int fd, bool& endsWithoutLineBreak) {
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return false;
    off_t size = st.st_size;
    if (size == 0)
        return true;
    const off_t windowStart = size - std::min(size, kEndOfFileWindow);
    char window[kEndOfFileWindow];
    const auto windowSize = static_cast<std::size_t>(size - windowStart);
    if (!readAt(fd, window, windowSize, windowStart))
        return false;
    const char* mark = std::find(window, window + windowSize, kEndOfFileMark);
    if (mark != window + windowSize) {
        size = windowStart + (mark - window);
        if (::ftruncate(fd, size) != 0)
            return false;
    }
    if (size > 0) {
        char last = 0;
        if (!readAt(fd, &last, 1, size - 1))
            return false;
        endsWithoutLineBreak = last != '\n';
    }
    return true;
}

} // namespace

OpenedAuditSink openAuditFileSink(const std::string& path) {
    OpenedAuditSink opened;
    bool readable = false;
    int fd = openExisting(path, readable);
    if (fd < 0 && errno == ENOENT) {
        fd = ::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0)
            opened.created = true;
        else if (errno == EEXIST) // someone else created it in between
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
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            ::close(fd);
            return opened;
        }
        if (!opened.created && readable && !prepareExisting(fd, opened.endsWithoutLineBreak)) {
            ::close(fd);
            return opened;
        }
    }
    opened.sink = std::make_unique<FileSink>(fd, regular);
    return opened;
}

AuditFile::AuditFile(AuditSinkOpener opener)
    : opener_(std::move(opener)) {}

AuditFile::~AuditFile() = default;

bool AuditFile::open(const std::string& path) {
    OpenedAuditSink opened = opener_(path);
    if (!opened.sink)
        return false;
    sink_ = std::move(opened.sink);
    pendingPrefix_.clear();
    if (opened.created)
        pendingPrefix_ = auditHeaderLine();
    else if (opened.endsWithoutLineBreak)
        pendingPrefix_ = std::string(kAuditLineEnd);
    return true;
}

bool AuditFile::appendRecord(const Assessment& assessment, const PatientDetails& details) {
    if (!sink_)
        return false;
    // Header and record go out together: a header that cannot be written
    // takes no record with it, and is tried again with the next one.
    if (!sink_->append(pendingPrefix_ + auditRecordLine(assessment, details)))
        return false;
    pendingPrefix_.clear();
    return true;
}

bool AuditFile::close() {
    if (!sink_)
        return true;
    std::unique_ptr<AuditSink> sink = std::move(sink_);
    pendingPrefix_.clear();
    return sink->close();
}

} // namespace caldrin
