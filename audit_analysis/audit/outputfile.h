// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Where a report or an export goes: never over an audit data file that was
// read, and never left half written.

#include <string>
#include <string_view>
#include <vector>

namespace caldrin::audit {

// True when `output` names one of `inputs`: the same file (device and inode)
// however it is named, or, where a file does not exist, the same absolute
// path once "." and ".." are taken out.
bool namesAnInput(const std::string& output, const std::vector<std::string>& inputs);

// Writes `text` to `path`. A regular file (or a new one) is written to a
// temporary file beside it and renamed into place only once whole and on
// disk, so a failure leaves the earlier file as it was; an existing file keeps
// its mode. Anything else (a terminal, a pipe, /dev/null) is written directly.
// Returns an empty text, or what went wrong.
std::string writeWholeFile(const std::string& path, std::string_view text);

} // namespace caldrin::audit
