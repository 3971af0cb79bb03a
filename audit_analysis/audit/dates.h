// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Dates of procedure: day numbers and reading a DATE text.

#include "auditformat/recorddate.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace caldrin::audit {

// The order and the date rule are the calculator's own (auditformat).
using caldrin::DateOrder;
using Date = caldrin::CalendarDate;

// Days from 1 January 1970; negative before it.
std::int32_t dayNumber(const Date& date);
Date dateFromDayNumber(std::int32_t days);

// "2024-09-30", as every report writes a date.
std::string isoDate(const Date& date);

// A date of procedure as typed: three numbers separated by "/", "-" or "."
// (the same mark twice), spaces allowed around them, in `order`. A year of
// one or two digits falls in the century of `currentYear`, as the calculator
// reads it. Nothing when the text is not a real calendar date.
std::optional<Date> readProcedureDate(std::string_view text, DateOrder order, int currentYear);

} // namespace caldrin::audit
