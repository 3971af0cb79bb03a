// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

namespace caldrin {

// The order in which a date's numbers are typed.
enum class DateOrder { MonthDayYear, DayMonthYear, YearMonthDay };

struct CalendarDate {
    int year = 0;
    int month = 0;
    int day = 0;
    friend bool operator==(const CalendarDate&, const CalendarDate&) = default;
};

// True for a real date of the proleptic Gregorian calendar, years 1 to 9999.
bool isRealDate(const CalendarDate& date);

// The date of three typed numbers, read in `order`: the rule the calculator
// checks a date with and the audit analysis reads it back by. A year of 0 to
// 99 falls in the century of `currentYear`. Nothing when it is not a real date.
std::optional<CalendarDate> dateFromNumbers(int first, int second, int third, DateOrder order,
                                            int currentYear);

} // namespace caldrin
