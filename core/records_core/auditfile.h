// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "scoring/assessment.h"
#include "scoring/patientdetails.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace caldrin {

// How an append to the audit file ended.
enum class AuditAppend {
    Written,        // whole and durable
    Failed,         // nothing of it stays in the file
    FailedPartLeft, // a piece of it stays and could not be taken back
};

// Why the audit file could not be opened or written.
enum class AuditFileProblem {
    None,
    CannotOpen,  // no access, a bad path, ...
    Locked,      // held open for writing by another program (its lock is taken)
    NotText,     // an existing file that is plainly not 8-bit text
    Unreadable,  // an existing file that can be written but not read
    WriteFailed, // the record did not reach the file
};

// Where the audit lines go: the program writes to a file, tests may put a
// failing device in its place.
class AuditSink {
public:
    virtual ~AuditSink() = default;
    // Appends `bytes` whole and makes them durable before returning. On
    // failure the sink takes back what it wrote of them where it can, so that
    // a failed line does not get the next one joined to it.
    virtual AuditAppend append(std::string_view bytes) = 0;
    // False once the name the sink was opened by names another file or none
    // (the file was replaced, renamed or deleted behind the program's back).
    virtual bool stillAtPath() const { return true; }
    // Releases the file; false when closing reported an error.
    virtual bool close() = 0;
};

struct OpenedAuditSink {
    std::unique_ptr<AuditSink> sink;                   // null when the file could not be opened
    bool owesHeader = false;                           // a new file that has no header line yet
    bool endsWithoutLineBreak = false;                 // kept content whose last line is unfinished
    AuditFileProblem problem = AuditFileProblem::None; // why `sink` is null
};

using AuditSinkOpener = std::function<OpenedAuditSink(const std::string& path)>;

// Opens the file at `path` (native bytes, used whole) for appending. An
// existing file keeps its content and its mode; an end-of-file mark (byte 26)
// in its last 128 bytes cuts it at the first such mark. A file that is plainly
// not 8-bit text (a UTF-16 or UTF-32 byte-order mark, or NUL bytes at its
// end) is left untouched and refused. A missing file is created readable by
// its owner only, with its header line, in one step: the name never shows a
// file without the header. A regular file is held with an exclusive advisory
// lock while open, so a second copy of the program cannot write into it too.
// A lock held by another program is waited for up to `kAuditLockPatienceMs` milliseconds:
// the audit reader takes it for an instant to see whether a writer has the
// file, and that instant must not turn a record away.
inline constexpr int kAuditLockPatienceMs = 2000;
OpenedAuditSink openAuditFileSink(const std::string& path);

// The steps of creating a new file, in order, for tests that stop the program
// between them.
// LockBusy is not a creation step: it comes each time the file's lock is
// found held by another program, before waiting to try again.
enum class AuditCreationStep { Unnamed, HeaderWritten, HeaderSynced, Named, LockBusy };
using AuditCreationHook = std::function<void(AuditCreationStep)>;
OpenedAuditSink openAuditFileSinkWithHook(const std::string& path,
                                          const AuditCreationHook& afterStep);

// The audit data file of one run: opened once, then one record per call.
class AuditFile {
public:
    explicit AuditFile(AuditSinkOpener opener = openAuditFileSink);
    ~AuditFile();
    AuditFile(const AuditFile&) = delete;
    AuditFile& operator=(const AuditFile&) = delete;

    // False when the file could not be opened or created; nothing is open then.
    bool open(const std::string& path);
    bool isOpen() const { return sink_ != nullptr; }

    // Appends the record of the episode, preceded by the header line while a
    // new file has none yet, and by a line break where kept content or a
    // failed line ended without one. When the name no longer leads to the open
    // file, the name is opened again first, as open() does. False when the
    // line could not be written; the file stays open and the next call tries
    // again.
    bool appendRecord(const Assessment& assessment, const PatientDetails& details);

    // Appends whole record lines (each ended by CR LF) in one write, the
    // same way: all of them become durable, or none stays in the file.
    bool appendRecordLines(std::string_view lines);

    // Why the last open() or appendRecord() failed.
    AuditFileProblem problem() const { return problem_; }

    // True when nothing was open or the file closed cleanly.
    bool close();

private:
    void take(OpenedAuditSink opened);
    bool reopen();

    AuditSinkOpener opener_;
    std::unique_ptr<AuditSink> sink_;
    std::string path_;
    bool owesHeader_ = false;
    bool owesLineBreak_ = false;
    AuditFileProblem problem_ = AuditFileProblem::None;
};

} // namespace caldrin
