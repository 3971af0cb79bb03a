// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "scoring/factors.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace caldrin {

// A unit a measured factor can be typed in. A value in it becomes a value in
// the unit of the option texts by value x numerator / denominator, exactly.
struct MeasurementUnit {
    std::string_view label;    // in the unit selector and in messages: "BUN mg/dL"
    std::string_view symbol;   // after a number: "mg/dL"
    std::string_view quantity; // before a number in a conversion: "BUN"
    std::int64_t numerator;
    std::int64_t denominator;
    std::string_view source; // where the factor comes from; empty for the table's unit
};

// Values from `low` to `high`, both included, counted in steps of the table's
// precision (tenths where the option texts print one decimal).
struct ValueRange {
    std::int64_t low;
    std::int64_t high;
    bool holds(std::int64_t value) const { return low <= value && value <= high; }
};

// A factor graded from a measured value: its units, the ranges of its options
// as the published grading table gives them, and the values it takes as
// plausible.
struct MeasuredFactor {
    Factor factor;
    std::vector<MeasurementUnit> units; // the first is the unit of the option texts
    int tableDecimals;                  // 0 or 1: the precision of the option texts
    bool wholeNumbersOnly;              // age in completed years, the Glasgow Coma Scale
    std::vector<std::vector<ValueRange>> optionRanges; // by option position
    ValueRange plausible;                              // in steps of the table's precision
    std::string_view plausibleReason;
    // Units nobody picks but some type by mistake (kPa for a pressure): named in
    // a refusal when the value is plausible in them.
    std::vector<MeasurementUnit> slipUnits;
};

// The nine factors that have a measured value, in canonical order.
const std::vector<MeasuredFactor>& measuredFactors();
// Null for a factor graded by hand only.
const MeasuredFactor* measuredFactor(Factor factor);

// A number as typed: decimal digits with at most one decimal separator (a
// full stop, or `separator`), at most three decimals and seven digits in all.
struct TypedNumber {
    std::int64_t digits; // the digits without the separator
    int decimals;        // how many of them follow it
};
std::optional<TypedNumber> parseTypedNumber(std::string_view text, char separator);

// The exact value of `number` in `unit`, converted into the table's unit and
// rounded half up to the table's precision.
std::int64_t toTableSteps(const MeasuredFactor& factor, const MeasurementUnit& unit,
                          TypedNumber number);

// The option whose stated range holds a value in table steps.
std::size_t optionHolding(const MeasuredFactor& factor, std::int64_t tableSteps);

// What a typed value comes to.
struct MeasuredReading {
    std::optional<std::size_t> position; // the option it grades; none when refused
    std::string reading;                 // a conversion or rounding worth showing; may be empty
    std::string refusal;                 // why nothing was graded; empty when graded
};

// Grades `text` typed in the factor's unit number `unit`. Numbers are shown
// with `separator` as their decimal separator.
MeasuredReading readMeasurement(const MeasuredFactor& factor, std::size_t unit,
                                std::string_view text, char separator);

// `steps` of the table's precision as text: "10.0", "130".
std::string tableValueText(const MeasuredFactor& factor, std::int64_t steps, char separator);

} // namespace caldrin
