#include "audit/text.h"

#include "audit/auditreport.h"

namespace caldrin::audit {

namespace {

// Windows-1252 0x80..0x9F; 0 where the code page leaves the byte undefined.
constexpr char16_t kHighControls[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

} // namespace

std::string utf8FromCp1252(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (const char byte : bytes) {
        const auto b = static_cast<unsigned char>(byte);
        if (b < 0x80)
            out += byte;
        else if (b < 0xA0)
            appendUtf8(out, kHighControls[b - 0x80] ? kHighControls[b - 0x80] : 0xFFFD);
        else
            appendUtf8(out, b);
    }
    return out;
}

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
