#include "audit/filekind.h"
#include "audit/auditanalysis.h"

#include <algorithm>

namespace caldrin::audit {

FileKind kindOfFirstBytes(std::string_view start) {
    if (start.starts_with("\xFF\xFE") || start.starts_with("\xFE\xFF"))
        return FileKind::Utf16Text;
    if (start.starts_with(std::string_view("\0\0\xFE\xFF", 4)))
        return FileKind::Utf16Text;
    // Without a byte-order mark, UTF-16 of plain text has a NUL in every
    // other byte; anything else with NUL bytes is not text.
    const std::string_view sample = start.substr(0, 4096);
    std::size_t nulEven = 0;
    std::size_t nulOdd = 0;
    std::size_t controls = 0;
    for (std::size_t i = 0; i < sample.size(); ++i) {
        const auto byte = static_cast<unsigned char>(sample[i]);
        if (byte == 0)
            ++(i % 2 ? nulOdd : nulEven);
        else if (byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r' && byte != 0x1A)
            ++controls;
    }
    const std::size_t half = sample.size() / 2;
    if (half > 0 && (nulEven * 10 >= half * 9 || nulOdd * 10 >= half * 9))
        return FileKind::Utf16Text;
    // Text has no NUL at all; a stray control code or two may come from a
    // damaged line, which the reader reports on its own.
    if (nulEven + nulOdd > 0 || controls * 20 > sample.size())
        return FileKind::NotText;
    return FileKind::AuditData;
}

void settleFileKind(FileSummary& file) {
    if (!file.opened || !file.openError.empty() || file.cancelled ||
        file.kind != FileKind::AuditData || file.records > 0)
        return;
    if (file.problems.empty()) {
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
    // are not records with faults but some other kind of file.
    if (file.headerLines == 0 && file.fullLines == 0) {
        file.kind = FileKind::NotAuditData;
        file.problems.clear();
        file.problems.shrink_to_fit();
    }
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
    case FileKind::Utf16Text:
        return "utf16_text";
    case FileKind::NotText:
        return "not_text";
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
    case FileKind::Utf16Text:
        return "the file is UTF-16 text, not an audit data file (the calculator writes "
               "Windows-1252 text)";
    case FileKind::NotText:
        return "the file is not text, so not an audit data file";
    case FileKind::NotAuditData:
        return "the file is text but not an audit data file: no line has the audit file's "
               "31 columns";
    }
    return {};
}

} // namespace caldrin::audit
