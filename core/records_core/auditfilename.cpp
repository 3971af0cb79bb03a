// SPDX-License-Identifier: GPL-3.0-or-later
#include "records_core/auditfilename.h"

namespace caldrin {

namespace {

bool hasExtension(std::string_view path) {
    const std::size_t lastSeparator = path.find_last_of("/\\:");
    const std::size_t nameStart = lastSeparator == std::string_view::npos ? 0 : lastSeparator + 1;
    return path.find('.', nameStart) != std::string_view::npos;
}

} // namespace

std::string completeAuditFileName(std::string_view path, AuditFileFilter filter) {
    std::string completed(path);
    if (filter == AuditFileFilter::All || hasExtension(path))
        return completed;
    completed += filter == AuditFileFilter::Csv ? ".CSV" : ".TXT";
    return completed;
}

} // namespace caldrin
