// SPDX-License-Identifier: GPL-3.0-or-later
#include "auditformat/cp1252.h"

namespace caldrin {

namespace {

// Characters of the bytes 0x80..0x9F.
// clang-format off
constexpr char16_t kHighControls[32] = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD,
    0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178,
};
// clang-format on

std::optional<char> byteOf(char16_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return static_cast<char>(c);
    if (c == kReplacementCharacter)
        return std::nullopt;
    for (int i = 0; i < 32; ++i) {
        if (kHighControls[i] == c)
            return static_cast<char>(0x80 + i);
    }
    return std::nullopt;
}

void appendUtf8(std::string& out, char16_t c) {
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

char16_t cp1252Character(unsigned char byte) {
    return byte >= 0x80 && byte < 0xA0 ? kHighControls[byte - 0x80] : static_cast<char16_t>(byte);
}

bool isCp1252Representable(char16_t c) {
    return byteOf(c).has_value();
}

std::optional<std::string> toCp1252(std::u16string_view text) {
    std::string bytes;
    bytes.reserve(text.size());
    for (char16_t c : text) {
        const auto byte = byteOf(c);
        if (!byte)
            return std::nullopt;
        bytes += *byte;
    }
    return bytes;
}

std::u16string fromCp1252(std::string_view bytes) {
    std::u16string text;
    text.reserve(bytes.size());
    for (const char b : bytes)
        text += cp1252Character(static_cast<unsigned char>(b));
    return text;
}

std::string utf8FromCp1252(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (const char b : bytes)
        appendUtf8(out, cp1252Character(static_cast<unsigned char>(b)));
    return out;
}

} // namespace caldrin
