#include "audit/text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

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

namespace {

// Room for DBL_MAX written out in full (309 digits) with the decimals asked for.
constexpr std::size_t kNumberRoom = 400;
constexpr int kMostDecimals = 17;

std::string checkedText(char* begin, std::to_chars_result result) {
    if (result.ec != std::errc())
        return "?";
    return std::string(begin, result.ptr);
}

} // namespace

std::string fixedText(double value, int decimals) {
    if (std::isnan(value))
        return "nan";
    if (std::isinf(value))
        return value < 0 ? "-inf" : "inf";
    std::array<char, kNumberRoom> buffer;
    const int places = std::clamp(decimals, 0, kMostDecimals);
    std::string text =
        checkedText(buffer.data(), std::to_chars(buffer.data(), buffer.data() + buffer.size(),
                                                 value, std::chars_format::fixed, places));
    if (text.front() == '-' && text.find_first_not_of("-0.") == std::string::npos)
        text.erase(0, 1); // no "-0.00"
    return text;
}

std::string shortestText(double value) {
    if (std::isnan(value))
        return "nan";
    if (std::isinf(value))
        return value < 0 ? "-inf" : "inf";
    std::array<char, kNumberRoom> buffer;
    return checkedText(buffer.data(),
                       std::to_chars(buffer.data(), buffer.data() + buffer.size(), value));
}

} // namespace caldrin::audit
