// SPDX-License-Identifier: GPL-3.0-or-later
#include "records_core/datecheck.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace caldrin {
namespace {

constexpr DateFormat kDayMonthYear{DateOrder::DayMonthYear, '/'};
constexpr DateFormat kMonthDayYear{DateOrder::MonthDayYear, '/'};
constexpr DateFormat kYearMonthDay{DateOrder::YearMonthDay, '/'};
constexpr DateFormat kDotted{DateOrder::DayMonthYear, '.'};
constexpr DateFormat kDashedYearFirst{DateOrder::YearMonthDay, '-'};

struct DateCase {
    const char* name;
    std::string text;
    DateFormat format;
    int currentYear;
    std::optional<CalendarDate> expected;
};

std::ostream& operator<<(std::ostream& out, const DateCase& c) {
    return out << c.name;
}

class DateCheckTest : public ::testing::TestWithParam<DateCase> {};

TEST_P(DateCheckTest, ReadsTheDateOrRefusesIt) {
    const DateCase& c = GetParam();
    const auto date = checkDate(c.text, c.format, c.currentYear);
    ASSERT_EQ(date.has_value(), c.expected.has_value()) << '"' << c.text << '"';
    if (date) {
        EXPECT_EQ(date->year, c.expected->year);
        EXPECT_EQ(date->month, c.expected->month);
        EXPECT_EQ(date->day, c.expected->day);
    }
}

constexpr std::nullopt_t kInvalid = std::nullopt;

INSTANTIATE_TEST_SUITE_P(
    DayMonthYear, DateCheckTest,
    ::testing::Values(
        DateCase{"LeapDayOf2000", "29/02/2000", kDayMonthYear, 2026, CalendarDate{2000, 2, 29}},
        DateCase{"NoLeapDayIn1900", "29/02/1900", kDayMonthYear, 2026, kInvalid},
        DateCase{"LeapDayOf2024", "29/2/2024", kDayMonthYear, 2026, CalendarDate{2024, 2, 29}},
        DateCase{"NoLeapDayIn2023", "29/2/2023", kDayMonthYear, 2026, kInvalid},
        DateCase{"ThirtyFirstOfApril", "31/04/2001", kDayMonthYear, 2026, kInvalid},
        DateCase{"LastDayOfDecember", "31/12/2001", kDayMonthYear, 2026,
                 CalendarDate{2001, 12, 31}},
        DateCase{"DayAndMonthOnly", "1/2", kDayMonthYear, 2026, CalendarDate{2026, 2, 1}},
        DateCase{"DayAndMonthInALeapYear", "29/2", kDayMonthYear, 2024, CalendarDate{2024, 2, 29}},
        DateCase{"DayAndMonthNotInALeapYear", "29/2", kDayMonthYear, 2026, kInvalid},
        DateCase{"TwoDigitYearInThisCentury", "01/02/45", kDayMonthYear, 2026,
                 CalendarDate{2045, 2, 1}},
        DateCase{"TwoDigitYearInTheLastCentury", "01/02/45", kDayMonthYear, 1999,
                 CalendarDate{1945, 2, 1}},
        DateCase{"YearZeroIsTheCenturyItself", "01/02/0", kDayMonthYear, 2026,
                 CalendarDate{2000, 2, 1}},
        // The century rule goes by the value read, not by the digits typed.
        DateCase{"LeadingZerosInTheYear", "01/02/0045", kDayMonthYear, 2026,
                 CalendarDate{2045, 2, 1}},
        DateCase{"ThreeDigitYear", "01/02/100", kDayMonthYear, 2026, CalendarDate{100, 2, 1}},
        DateCase{"SpacesAroundEverything", " 01 / 02 / 2001 ", kDayMonthYear, 2026,
                 CalendarDate{2001, 2, 1}},
        DateCase{"TrailingSeparator", "01/02/2001/", kDayMonthYear, 2026, CalendarDate{2001, 2, 1}},
        DateCase{"TrailingSeparatorAndSpaces", "01/02/2001 /  ", kDayMonthYear, 2026,
                 CalendarDate{2001, 2, 1}},
        DateCase{"TwoTrailingSeparators", "01/02/2001//", kDayMonthYear, 2026, kInvalid},
        DateCase{"SeparatorWithoutThirdNumber", "1/2/", kDayMonthYear, 2026, kInvalid},
        DateCase{"TabIsNotASpace", "\t01/02/2001", kDayMonthYear, 2026, kInvalid},
        DateCase{"WrongSeparatorDash", "01-02-2001", kDayMonthYear, 2026, kInvalid},
        DateCase{"WrongSeparatorDot", "1.2.2001", kDayMonthYear, 2026, kInvalid},
        DateCase{"TrailingLetter", "01/02/2001x", kDayMonthYear, 2026, kInvalid},
        DateCase{"FiveDigitYear", "01/02/19999", kDayMonthYear, 2026, kInvalid},
        DateCase{"LeadingZerosDoNotCount", "00012/1/2001", kDayMonthYear, 2026,
                 CalendarDate{2001, 1, 12}},
        DateCase{"LastDayOfTheCalendar", "31/12/9999", kDayMonthYear, 2026,
                 CalendarDate{9999, 12, 31}},
        DateCase{"YearOneFallsInTheCentury", "1/1/0001", kDayMonthYear, 2026,
                 CalendarDate{2001, 1, 1}},
        DateCase{"DayZero", "00/01/2001", kDayMonthYear, 2026, kInvalid},
        DateCase{"MonthThirteen", "01/13/2001", kDayMonthYear, 2026, kInvalid},
        DateCase{"MonthZero", "01/00/2001", kDayMonthYear, 2026, kInvalid},
        DateCase{"Empty", "", kDayMonthYear, 2026, kInvalid},
        DateCase{"OnlySpaces", "   ", kDayMonthYear, 2026, kInvalid},
        DateCase{"OneNumber", "12", kDayMonthYear, 2026, kInvalid},
        DateCase{"OneNumberAndSeparator", "12/", kDayMonthYear, 2026, kInvalid},
        DateCase{"FourNumbers", "1/2/2001/3", kDayMonthYear, 2026, kInvalid},
        DateCase{"SignedNumber", "-1/2/2001", kDayMonthYear, 2026, kInvalid}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    OtherOrders, DateCheckTest,
    ::testing::Values(
        DateCase{"MonthFirst", "02/29/2000", kMonthDayYear, 2026, CalendarDate{2000, 2, 29}},
        DateCase{"MonthFirstRefusesDayFirst", "29/02/2000", kMonthDayYear, 2026, kInvalid},
        DateCase{"MonthFirstWithoutYear", "1/2", kMonthDayYear, 2026, CalendarDate{2026, 1, 2}},
        DateCase{"MonthFirstTwoDigitYear", "2/1/45", kMonthDayYear, 2026, CalendarDate{2045, 2, 1}},
        DateCase{"YearFirst", "2000/02/29", kYearMonthDay, 2026, CalendarDate{2000, 2, 29}},
        DateCase{"YearFirstTwoDigitYear", "45/2/1", kYearMonthDay, 2026, CalendarDate{2045, 2, 1}},
        // Without a year the numbers are month and day, as with month first.
        DateCase{"YearFirstWithoutYear", "1/2", kYearMonthDay, 2026, CalendarDate{2026, 1, 2}},
        DateCase{"YearFirstRefusesYearLast", "29/02/2000", kYearMonthDay, 2026, kInvalid}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    OtherSeparators, DateCheckTest,
    ::testing::Values(DateCase{"Dotted", "1.2.2001", kDotted, 2026, CalendarDate{2001, 2, 1}},
                      DateCase{"DottedWithoutYear", "1.2", kDotted, 2026, CalendarDate{2026, 2, 1}},
                      DateCase{"DottedRefusesSlash", "01/02/2001", kDotted, 2026, kInvalid},
                      DateCase{"Dashed", "2001-02-03", kDashedYearFirst, 2026,
                               CalendarDate{2001, 2, 3}},
                      DateCase{"DashedWithSpaces", "2001 - 2 - 3", kDashedYearFirst, 2026,
                               CalendarDate{2001, 2, 3}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DayNumberTest, CountsDaysFromTheEndOf1899) {
    EXPECT_EQ(dayNumber({1899, 12, 30}), 0);
    EXPECT_EQ(dayNumber({1899, 12, 29}), -1);
    EXPECT_EQ(dayNumber({1900, 1, 1}), 2);
    EXPECT_EQ(dayNumber({1900, 3, 1}), 61); // 1900 has no 29 February
    EXPECT_EQ(dayNumber({2000, 1, 1}), 36526);
    EXPECT_EQ(dayNumber({2000, 3, 1}), 36586);
    EXPECT_EQ(dayNumber({1, 1, 1}), -693593);
    EXPECT_EQ(dayNumber({9999, 12, 31}), 2958465);
}

struct PatternCase {
    const char* name;
    std::u16string pattern;
    DateOrder order;
    char separator;
};

std::ostream& operator<<(std::ostream& out, const PatternCase& c) {
    return out << c.name;
}

class DateFormatFromPatternTest : public ::testing::TestWithParam<PatternCase> {};

TEST_P(DateFormatFromPatternTest, TakesOrderAndSeparator) {
    const PatternCase& c = GetParam();
    const DateFormat format = dateFormatFromPattern(c.pattern);
    EXPECT_EQ(format.order, c.order);
    EXPECT_EQ(format.separator, c.separator);
}

INSTANTIATE_TEST_SUITE_P(
    Patterns, DateFormatFromPatternTest,
    ::testing::Values(
        // The plain C locale: a space must not become the separator.
        PatternCase{"CLocale", u"d MMM yyyy", DateOrder::DayMonthYear, '/'},
        PatternCase{"British", u"dd/MM/yyyy", DateOrder::DayMonthYear, '/'},
        PatternCase{"American", u"M/d/yy", DateOrder::MonthDayYear, '/'},
        PatternCase{"Iso", u"yyyy-MM-dd", DateOrder::YearMonthDay, '-'},
        PatternCase{"German", u"dd.MM.yyyy", DateOrder::DayMonthYear, '.'},
        PatternCase{"Empty", u"", DateOrder::MonthDayYear, '/'},
        PatternCase{"UpperCaseLetters", u"YYYY/MM/DD", DateOrder::YearMonthDay, '/'},
        PatternCase{"NoDateLetters", u"--", DateOrder::MonthDayYear, '-'},
        PatternCase{"SpacedWithTrailingDot", u"yyyy. MM. dd.", DateOrder::YearMonthDay, '.'},
        // Direction marks are not typed between the numbers.
        PatternCase{"DirectionMarks", u"d\u200F/M\u200F/yyyy", DateOrder::DayMonthYear, '/'},
        // A character without a Windows-1252 byte could never be typed.
        PatternCase{"UntypableSeparator", u"d\u2044M\u2044yyyy", DateOrder::DayMonthYear, '/'}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace caldrin
