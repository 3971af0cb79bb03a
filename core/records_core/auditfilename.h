// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace caldrin {

// The choices of the audit file's open dialog, in the order it lists them.
enum class AuditFileFilter { Csv, Text, All };

// The chosen name completed by the filter choice: ".CSV" or ".TXT" appended
// when the name has no extension, otherwise the name unchanged. A name has an
// extension when a full stop follows its last directory separator ("/" or
// "\") or drive colon; "report." counts as having one.
std::string completeAuditFileName(std::string_view path, AuditFileFilter filter);

} // namespace caldrin
