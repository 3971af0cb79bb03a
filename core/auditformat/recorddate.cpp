// SPDX-License-Identifier: GPL-3.0-or-later
#include "auditformat/recorddate.h"

namespace caldrin {

namespace {

bool isLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int year, int month) {
    constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : kDays[month - 1];
}

} // namespace

bool isRealDate(const CalendarDate& date) {
    return date.year >= 1 && date.year <= 9999 && date.month >= 1 && date.month <= 12 &&
           date.day >= 1 && date.day <= daysInMonth(date.year, date.month);
}

std::optional<CalendarDate> dateFromNumbers(int first, int second, int third, DateOrder order,
                                            int currentYear) {
    CalendarDate date;
    switch (order) {
    case DateOrder::DayMonthYear:
        date = {third, second, first};
        break;
    case DateOrder::MonthDayYear:
        date = {third, first, second};
        break;
    case DateOrder::YearMonthDay:
        date = {first, second, third};
        break;
    }
    if (date.year >= 0 && date.year <= 99)
        date.year += currentYear - currentYear % 100;
    if (!isRealDate(date))
        return std::nullopt;
    return date;
}

} // namespace caldrin
