// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace caldrin {

// The value of a whole-number text: leading spaces, then an optional sign and
// decimal digits within the signed 32-bit range, or "$" and hexadecimal digits
// that fit in 32 bits (read as a signed 32-bit value). Nothing may follow.
std::optional<std::int32_t> integerValue(std::string_view text);

// A whole-number text, judged as a whole (as scoreFromText judges it).
bool IsInteger(std::string_view text);

// The score that a directly typed text stands for: its value when the whole
// text is a whole number from 0 to 255, else 0 ("not entered").
std::uint8_t scoreFromText(std::string_view text);

} // namespace caldrin
