// SPDX-License-Identifier: GPL-3.0-or-later
#include "scoring/integertext.h"

namespace caldrin {

namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::optional<std::int32_t> hexValue(std::string_view digits) {
    if (digits.empty())
        return std::nullopt;
    std::uint64_t value = 0;
    for (char c : digits) {
        const int d = hexDigit(c);
        if (d < 0)
            return std::nullopt;
        value = value * 16 + static_cast<std::uint64_t>(d);
        if (value > 0xFFFFFFFFu)
            return std::nullopt;
    }
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}

std::optional<std::int32_t> decimalValue(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty())
        return std::nullopt;
    std::int64_t magnitude = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        magnitude = magnitude * 10 + (c - '0');
        if (magnitude > 2147483648LL)
            return std::nullopt;
    }
    const std::int64_t value = negative ? -magnitude : magnitude;
    if (value > 2147483647LL)
        return std::nullopt;
    return static_cast<std::int32_t>(value);
}

} // namespace

std::optional<std::int32_t> integerValue(std::string_view text) {
    const auto start = text.find_first_not_of(' ');
    if (start == std::string_view::npos)
        return std::nullopt;
    text.remove_prefix(start);
    if (text.front() == '$')
        return hexValue(text.substr(1));
    return decimalValue(text);
}

// The whole text is judged, as scoreFromText reads it: a text that one of them
// took for a number and the other did not would be stored as a score that
// Calculate's rule had refused, or the other way round.
bool IsInteger(std::string_view text) {
    return integerValue(text).has_value();
}

std::uint8_t scoreFromText(std::string_view text) {
    const auto value = integerValue(text);
    if (!value || *value < 0 || *value > 255)
        return 0;
    return static_cast<std::uint8_t>(*value);
}

} // namespace caldrin
