// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "records_core/auditfile.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

namespace caldrin::testing {

// A device that fails on demand, to see what reaches it: each append on its
// own, and everything in one text.
struct FakeDevice {
    std::vector<std::string> appends;
    std::string written;
    int failuresLeft = 0;
    bool failuresLeavePart = false; // half of a failed append stays behind
    bool closeFails = false;
};

class FakeSink : public AuditSink {
public:
    explicit FakeSink(FakeDevice& device)
        : device_(device) {}
    AuditAppend append(std::string_view bytes) override {
        if (device_.failuresLeft > 0) {
            --device_.failuresLeft;
            if (!device_.failuresLeavePart)
                return AuditAppend::Failed;
            bytes = bytes.substr(0, bytes.size() / 2);
            device_.appends.emplace_back(bytes);
            device_.written += bytes;
            return AuditAppend::FailedPartLeft;
        }
        device_.appends.emplace_back(bytes);
        device_.written += bytes;
        return AuditAppend::Written;
    }
    bool close() override { return !device_.closeFails; }

private:
    FakeDevice& device_;
};

// `owesHeader`: the opened file is new and has no header line yet.
inline AuditSinkOpener openerFor(FakeDevice& device, bool owesHeader) {
    return [&device, owesHeader](const std::string&) {
        return OpenedAuditSink{std::make_unique<FakeSink>(device), owesHeader, false};
    };
}

// A second copy of the program, in a child process, holding the audit file
// at `path` open until release() or destruction.
class OtherCopyHoldingFile {
public:
    explicit OtherCopyHoldingFile(const std::string& path) {
        int ready[2];
        int release[2];
        if (::pipe(ready) != 0 || ::pipe(release) != 0)
            return;
        child_ = ::fork();
        if (child_ == 0) {
            ::close(ready[0]);
            ::close(release[1]);
            AuditFile file;
            const char held = file.open(path) ? 'y' : 'n';
            if (::write(ready[1], &held, 1) != 1)
                ::_exit(1);
            char ignored = 0;
            // Returns when the parent lets go (or is gone).
            const ssize_t got = ::read(release[0], &ignored, 1);
            ::_exit(got < 0 ? 1 : 0);
        }
        ::close(ready[1]);
        ::close(release[0]);
        releaseFd_ = release[1];
        char held = 'n';
        if (child_ > 0 && ::read(ready[0], &held, 1) == 1)
            holds_ = held == 'y';
        ::close(ready[0]);
    }
    ~OtherCopyHoldingFile() { release(); }
    OtherCopyHoldingFile(const OtherCopyHoldingFile&) = delete;
    OtherCopyHoldingFile& operator=(const OtherCopyHoldingFile&) = delete;

    // True once the child has the file open.
    bool holds() const { return holds_; }

    void release() {
        if (releaseFd_ >= 0)
            ::close(releaseFd_);
        releaseFd_ = -1;
        if (child_ > 0) {
            int status = 0;
            ::waitpid(child_, &status, 0);
        }
        child_ = -1;
        holds_ = false;
    }

private:
    pid_t child_ = -1;
    int releaseFd_ = -1;
    bool holds_ = false;
};

} // namespace caldrin::testing
