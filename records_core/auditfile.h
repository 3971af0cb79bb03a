#pragma once

#include "scoring/assessment.h"
#include "scoring/patientdetails.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace caldrin {

// Where the audit lines go: the program writes to a file, tests may put a
// failing device in its place.
class AuditSink {
public:
    virtual ~AuditSink() = default;
    // Appends `bytes` whole and makes them durable before returning. On
    // failure the sink takes back what it wrote of them where it can, so that
    // a failed line does not get the next one joined to it.
    virtual bool append(std::string_view bytes) = 0;
    // Releases the file; false when closing reported an error.
    virtual bool close() = 0;
};

struct OpenedAuditSink {
    std::unique_ptr<AuditSink> sink;   // null when the file could not be opened
    bool created = false;              // the file did not exist before
    bool endsWithoutLineBreak = false; // kept content whose last line is unfinished
};

using AuditSinkOpener = std::function<OpenedAuditSink(const std::string& path)>;

// Opens the file at `path` (native bytes, used whole) for appending, creating
// it when it does not exist. An end-of-file mark (byte 26) in the last 128
// bytes cuts the file at the first such mark. A regular file is held with an
// exclusive advisory lock while open, so a second copy of the program cannot
// write into it too.
OpenedAuditSink openAuditFileSink(const std::string& path);

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
    // file created by this run has none yet, and by a line break where kept
    // content ended without one. False when the line could not be written;
    // the file stays open and the next call tries again.
    bool appendRecord(const Assessment& assessment, const PatientDetails& details);

    // True when nothing was open or the file closed cleanly.
    bool close();

private:
    AuditSinkOpener opener_;
    std::unique_ptr<AuditSink> sink_;
    std::string pendingPrefix_; // written before the next record
};

} // namespace caldrin
