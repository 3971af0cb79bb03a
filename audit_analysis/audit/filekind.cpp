// SPDX-License-Identifier: GPL-3.0-or-later
#include "audit/filekind.h"
#include "audit/auditanalysis.h"

namespace caldrin::audit {

void settleFileKind(FileSummary& file) {
    if (!file.opened || !file.openError.empty() || file.cancelled ||
        file.kind != FileKind::AuditData || file.records > 0)
        return;
    if (file.problemCount() == 0) {
        // A byte-order mark alone is as empty as no byte at all.
        if (file.bytes == 0 || (file.bytes == 3 && file.lines == 0))
            file.kind = FileKind::Empty;
        else if (file.headerLines > 0)
            file.kind = FileKind::HeaderOnly;
        else
            file.kind = FileKind::BlankLines;
        return;
    }
    // No line with the audit file's columns, not even their names: its lines
    // are not records with faults but some other kind of file. Its problems
    // stay counted; the window lists them as this one sentence.
    if (file.headerLines == 0 && file.fullLines == 0)
        file.kind = FileKind::NotAuditData;
}

std::string fileKindKey(FileKind kind) {
    switch (kind) {
    case FileKind::AuditData:
        return "audit_data";
    case FileKind::Empty:
        return "empty";
    case FileKind::BlankLines:
        return "blank_lines";
    case FileKind::HeaderOnly:
        return "header_only";
    case FileKind::NotAuditData:
        return "not_audit_data";
    }
    return {};
}

std::string fileKindText(FileKind kind) {
    switch (kind) {
    case FileKind::AuditData:
        return {};
    case FileKind::Empty:
        return "the file is empty";
    case FileKind::BlankLines:
        return "the file holds only blank lines, no records";
    case FileKind::HeaderOnly:
        return "the file holds the column names but no records";
    case FileKind::NotAuditData:
        return "the file is text but not an audit data file: no line has the audit file's "
               "31 columns";
    }
    return {};
}

} // namespace caldrin::audit
