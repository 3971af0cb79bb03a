#include "records_core/cp1252.h"

namespace caldrin {

namespace {

// Characters of the bytes 0x80..0x9F. The five bytes that Windows-1252 leaves
// undefined map to the C1 control of the same number, as Windows does.
// clang-format off
constexpr char16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};
// clang-format on

std::optional<char> byteOf(char16_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return static_cast<char>(c);
    for (int i = 0; i < 32; ++i) {
        if (kHighControls[i] == c)
            return static_cast<char>(0x80 + i);
    }
    return std::nullopt;
}

} // namespace

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
    for (char b : bytes) {
        const auto u = static_cast<unsigned char>(b);
        text += (u >= 0x80 && u < 0xA0) ? kHighControls[u - 0x80] : static_cast<char16_t>(u);
    }
    return text;
}

} // namespace caldrin
