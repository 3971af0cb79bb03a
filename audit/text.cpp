#include "audit/text.h"

namespace caldrin::audit {

std::string printableQuote(std::string_view bytes, std::size_t maxBytes) {
    std::string shown;
    const bool cut = bytes.size() > maxBytes;
    for (const char byte : bytes.substr(0, maxBytes)) {
        const auto b = static_cast<unsigned char>(byte);
        shown += (b < 0x20 || b == 0x7F) ? '?' : byte;
    }
    std::string out;
    out += '"';
    out.append(utf8FromCp1252(shown));
    if (cut)
        out.append("...");
    out += '"';
    return out;
}

} // namespace caldrin::audit
