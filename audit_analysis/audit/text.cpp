// SPDX-License-Identifier: GPL-3.0-or-later
#include "audit/text.h"
#include "auditformat/columns.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>

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

// The length of the well-formed UTF-8 character at the start of `bytes`, or 0.
std::size_t utf8CharacterLength(std::string_view bytes) {
    const auto at = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = at(0);
    if (lead < 0x80)
        return 1;
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;  // no overlong forms
        high = lead == 0xED ? 0x9F : 0xBF; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF; // nothing above U+10FFFF
    } else {
        return 0;
    }
    if (bytes.size() < length || at(1) < low || at(1) > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i)
        if (at(i) < 0x80 || at(i) > 0xBF)
            return 0;
    return length;
}

} // namespace

std::string wellFormedUtf8(std::string_view bytes, bool showBytes) {
    std::string out;
    out.reserve(bytes.size());
    while (!bytes.empty()) {
        if (const std::size_t length = utf8CharacterLength(bytes); length > 0) {
            out.append(bytes.substr(0, length));
            bytes.remove_prefix(length);
            continue;
        }
        if (showBytes) {
            constexpr char kDigits[] = "0123456789ABCDEF";
            const auto b = static_cast<unsigned char>(bytes.front());
            out += "\\x";
            out += kDigits[b >> 4];
            out += kDigits[b & 0xF];
        } else {
            out += "\xEF\xBF\xBD";
        }
        bytes.remove_prefix(1);
    }
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

std::string spreadsheetTextCell(std::string_view utf8) {
    double number = 0;
    const char* end = utf8.data() + utf8.size();
    const bool isNumber = !utf8.empty() && std::from_chars(utf8.data(), end, number).ptr == end;
    const bool formula =
        !utf8.empty() && std::string_view("=+-@\t\r").find(utf8[0]) != std::string_view::npos;
    // Built by appending: GCC 12's release optimiser flags insert(0, ...) as
    // an overlapping copy.
    std::string text;
    text.reserve(utf8.size() + 1);
    if (formula && !isNumber)
        text.push_back('\'');
    text.append(utf8);
    return quoteCsvField(text);
}

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

std::string jsonString(std::string_view text) {
    const std::string utf8 = wellFormedUtf8(text);
    std::string out = "\"";
    for (const char c : utf8) {
        const auto b = static_cast<unsigned char>(c);
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (b < 0x20 || b == 0x7F) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", b);
                out += escaped;
            } else {
                out += c;
            }
        }
    }
    out += '"';
    return out;
}

std::size_t displayWidth(std::string_view utf8) {
    std::size_t width = 0;
    for (const char c : utf8)
        width += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return width;
}

std::string wrapped(std::string_view text, std::size_t indent, std::size_t hanging) {
    std::string out(indent, ' ');
    std::size_t column = indent;
    bool lineStart = true;
    while (!text.empty()) {
        const std::size_t space = text.find(' ');
        const std::string_view word = text.substr(0, space);
        text = space == std::string_view::npos ? std::string_view() : text.substr(space + 1);
        if (word.empty())
            continue;
        const std::size_t width = displayWidth(word);
        if (!lineStart && column + 1 + width > kTextWidth) {
            out.push_back('\n');
            out.append(indent + hanging, ' ');
            column = indent + hanging;
            lineStart = true;
        }
        if (!lineStart) {
            out += ' ';
            ++column;
        }
        out += word;
        column += width;
        lineStart = false;
    }
    return out + "\n";
}

} // namespace caldrin::audit
