// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What a text file handed to the reader turned out to be, so that a file
// that is no audit data file is said to be so in one sentence (the window
// shows that instead of a problem per line).
// (UTF-16 and binary files are refused before reading: FileSummary::openError.)

#include <string>

namespace caldrin::audit {

struct FileSummary;

enum class FileKind {
    AuditData,    // records, or lines that look like records with problems
    Empty,        // no bytes (or a byte-order mark alone)
    BlankLines,   // nothing but blank lines
    HeaderOnly,   // the column names and no record
    NotAuditData, // text, but no line has the audit file's columns
};

// The kind of a text file once it has been read through: from its counts of
// lines, records and problems.
void settleFileKind(FileSummary& file);

// "the file is empty", "UTF-16 text, not an audit data file", ...; empty for
// AuditData.
std::string fileKindText(FileKind kind);
// "audit_data", "empty", "utf16_text", ... for JSON.
std::string fileKindKey(FileKind kind);

} // namespace caldrin::audit
