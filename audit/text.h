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

} // namespace caldrin::audit
