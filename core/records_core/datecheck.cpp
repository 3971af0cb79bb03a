// SPDX-License-Identifier: GPL-3.0-or-later
#include "records_core/datecheck.h"

#include "auditformat/cp1252.h"

namespace caldrin {

namespace {

bool isAsciiLetter(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

bool isSpace(char16_t c) {
    return c == u' ' || c == u'\u00A0' || c == u'\u202F';
}

// Marks that some locales put into their patterns to steer text direction, and
// the quote that encloses literal text: neither is typed between the numbers.
bool isInvisibleInDates(char16_t c) {
    return c == u'\'' || c == u'\u061C' || (c >= u'\u200B' && c <= u'\u200F') ||
           (c >= u'\u202A' && c <= u'\u202E') || (c >= u'\u2066' && c <= u'\u2069') ||
           c == u'\uFEFF';
}

// Reads a date from left to right, skipping spaces before each number and
// each separator.
class DateScanner {
public:
    explicit DateScanner(std::string_view text)
        : text_(text) {}

    void skipSpaces() {
        while (pos_ < text_.size() && text_[pos_] == ' ')
            ++pos_;
    }

    // Digits are taken while the value is below 1000, so leading zeros are
    // free and the fifth significant digit is left unread.
    bool number(int& value) {
        skipSpaces();
        const std::size_t start = pos_;
        value = 0;
        while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9' && value < 1000) {
            value = value * 10 + (text_[pos_] - '0');
            ++pos_;
        }
        return pos_ > start;
    }

    bool separator(char separator) {
        skipSpaces();
        if (pos_ < text_.size() && text_[pos_] == separator) {
            ++pos_;
            return true;
        }
        return false;
    }

    bool atEnd() const { return pos_ == text_.size(); }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
};

// Days since 1 January 1970 in the proleptic Gregorian calendar.
std::int64_t daysFromCivil(std::int64_t year, int month, int day) {
    year -= month <= 2 ? 1 : 0;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const std::int64_t yearOfEra = year - era * 400;
    const std::int64_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

} // namespace

DateFormat dateFormatFromPattern(std::u16string_view pattern) {
    DateFormat format;
    for (char16_t c : pattern) {
        if (c == u'd' || c == u'D') {
            format.order = DateOrder::DayMonthYear;
            break;
        }
        if (c == u'm' || c == u'M') {
            format.order = DateOrder::MonthDayYear;
            break;
        }
        if (c == u'y' || c == u'Y') {
            format.order = DateOrder::YearMonthDay;
            break;
        }
    }
    for (char16_t c : pattern) {
        if (isAsciiLetter(c) || isSpace(c) || isInvisibleInDates(c))
            continue;
        // A separator the user could not type would fail every date.
        if (const auto bytes = toCp1252(std::u16string_view(&c, 1)))
            format.separator = bytes->front();
        break;
    }
    return format;
}

std::optional<CalendarDate> checkDate(std::string_view text, const DateFormat& format,
                                      int currentYear) {
    DateScanner scan(text);
    int first = 0;
    int second = 0;
    if (!scan.number(first) || !scan.separator(format.separator) || !scan.number(second))
        return std::nullopt;

    int third = 0;
    const bool withYear = scan.separator(format.separator);
    if (withYear && !scan.number(third))
        return std::nullopt;
    scan.separator(format.separator);
    scan.skipSpaces();
    if (!scan.atEnd())
        return std::nullopt;
    if (withYear)
        return dateFromNumbers(first, second, third, format.order, currentYear);

    CalendarDate date;
    date.year = currentYear;
    const bool dayFirst = format.order == DateOrder::DayMonthYear;
    date.day = dayFirst ? first : second;
    date.month = dayFirst ? second : first;
    if (!isRealDate(date))
        return std::nullopt;
    return date;
}

std::int32_t dayNumber(const CalendarDate& date) {
    return static_cast<std::int32_t>(daysFromCivil(date.year, date.month, date.day) -
                                     daysFromCivil(1899, 12, 30));
}

} // namespace caldrin
