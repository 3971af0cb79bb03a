// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <cstdint>
#include <optional>

namespace caldrin::auditwindow {

// Line `line` (1-based) of the file at `path`, read from Windows-1252, with
// its line break removed and control characters shown as "?" so that a file
// cannot disturb the window. Nothing when the file or the line is missing.
std::optional<QString> readSourceLine(const QString& path, std::uint64_t line);

} // namespace caldrin::auditwindow
