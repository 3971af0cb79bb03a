#pragma once

// What a file handed to the reader turned out to be, so that a file that is
// no audit data file gets one sentence instead of a problem per line.

#include <string>
#include <string_view>

namespace caldrin::audit {

struct FileSummary;

enum class FileKind {
    AuditData,    // records, or lines that look like records with problems
    Empty,        // no bytes (or a byte-order mark alone)
    BlankLines,   // nothing but blank lines
    HeaderOnly,   // the column names and no record
    Utf16Text,    // UTF-16 (or UTF-32) text, which the calculator never writes
    NotText,      // NUL bytes or control codes: a binary file
    NotAuditData, // text, but no line has the audit file's columns
};

// Judged from the first bytes of a file (a block is plenty): UTF-16/UTF-32 or
// not text at all, else AuditData until the reading says otherwise.
FileKind kindOfFirstBytes(std::string_view start);

// The kind of a text file once it has been read through: from its counts of
// lines, records and problems. A file that is no audit data file loses its
// per-line problems (every line would be one).
void settleFileKind(FileSummary& file);

// "the file is empty", "UTF-16 text, not an audit data file", ...; empty for
// AuditData.
std::string fileKindText(FileKind kind);
// "audit_data", "empty", "utf16_text", ... for JSON.
std::string fileKindKey(FileKind kind);

} // namespace caldrin::audit
