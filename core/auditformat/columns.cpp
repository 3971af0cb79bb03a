// SPDX-License-Identifier: GPL-3.0-or-later
#include "auditformat/columns.h"

namespace caldrin {

std::string auditHeaderLine() {
    std::string line;
    for (const std::string_view column : kAuditColumns) {
        if (!line.empty())
            line += ',';
        line += column;
    }
    line += kAuditLineEnd;
    return line;
}

bool isHashedIdentifier(std::string_view name) {
    constexpr std::size_t kDigestDigits = 32;
    return name.size() == kDigestDigits &&
           name.find_first_not_of("0123456789abcdefABCDEF") == std::string_view::npos;
}

std::string quoteCsvField(std::string_view field) {
    if (field.find_first_of(",\"\r\n") == std::string_view::npos)
        return std::string(field);
    std::string quoted = "\"";
    for (const char c : field) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

} // namespace caldrin
