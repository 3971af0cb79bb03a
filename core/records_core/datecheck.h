// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "auditformat/recorddate.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace caldrin {

// How the user writes dates: taken from the regional short date pattern.
struct DateFormat {
    DateOrder order = DateOrder::MonthDayYear;
    char separator = '/'; // a Windows-1252 byte
};

// Order from the first of d, m, y (either case) in `pattern`; month-day-year
// when there is none. Separator: the first character that is neither a letter
// nor a space, "/" when there is none.
DateFormat dateFormatFromPattern(std::u16string_view pattern);

// The date typed in `text` (Windows-1252 bytes), or nothing when the text is not
// a valid date in `format`. Dates without a year take `currentYear`; years 0 to
// 99 fall in the century of `currentYear`.
std::optional<CalendarDate> checkDate(std::string_view text, const DateFormat& format,
                                      int currentYear);

// Days from 30 December 1899 (day 0); negative before it.
std::int32_t dayNumber(const CalendarDate& date);

} // namespace caldrin
