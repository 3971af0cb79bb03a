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

// Every number the reports print goes through these two. Any double fits
// (the buffer holds the longest), a failure gives "?" rather than stray
// bytes, and there is never a "-0.00".
// `decimals` places after the full stop; "nan" and "inf" for those values.
std::string fixedText(double value, int decimals);
// The shortest text that reads back as the same double.
std::string shortestText(double value);

} // namespace caldrin::audit
