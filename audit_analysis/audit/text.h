// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "auditformat/cp1252.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace caldrin::audit {

using caldrin::utf8FromCp1252;

// File text (Windows-1252) as a quoted UTF-8 snippet safe to print anywhere:
// control characters become "?", long texts are cut with "...".
std::string printableQuote(std::string_view bytes, std::size_t maxBytes = 40);

// Text that should be UTF-8 but comes from outside (a file name is any bytes
// but "/" and NUL): each byte that is not part of a well-formed UTF-8
// character becomes U+FFFD, or with `showBytes` a visible "\xFF", so that the
// output is valid UTF-8 and the name can still be recognised.
std::string wellFormedUtf8(std::string_view bytes, bool showBytes = false);

// A JSON string of `text` (made well-formed UTF-8 first), control
// characters escaped.
std::string jsonString(std::string_view text);

// A text cell of a CSV output, quoted as needed. A text that a spreadsheet
// would take for a formula (starting with = + - @, a tab or CR) gets a
// leading apostrophe, so that a name in an audit file or a file name cannot
// run a formula on the reader's machine; a number is left as it is.
std::string spreadsheetTextCell(std::string_view utf8);

// Every number the reports print goes through these two. Any double fits
// (the buffer holds the longest), a failure gives "?" rather than stray
// bytes, and there is never a "-0.00".
// `decimals` places after the full stop; "nan" and "inf" for those values.
std::string fixedText(double value, int decimals);
// The shortest text that reads back as the same double.
std::string shortestText(double value);

// Columns a UTF-8 text takes on a terminal (one per character).
std::size_t displayWidth(std::string_view utf8);

// The text outputs fit a terminal of 80 columns: prose is wrapped at spaces,
// the first line indented by `indent`, each after it by `hanging` more. A
// word longer than a line stays whole. Ends with a line break.
inline constexpr std::size_t kTextWidth = 80;
std::string wrapped(std::string_view text, std::size_t indent = 2, std::size_t hanging = 2);

} // namespace caldrin::audit
