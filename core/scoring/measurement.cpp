// SPDX-License-Identifier: GPL-3.0-or-later
#include "scoring/measurement.h"

#include <algorithm>
#include <cassert>
#include <limits>

namespace caldrin {

namespace {

using enum Factor;

constexpr std::int64_t kBelow = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t kAbove = std::numeric_limits<std::int64_t>::max();

// Units in which a value is typed as it stands in the option texts.
constexpr MeasurementUnit same(std::string_view label, std::string_view quantity) {
    return {label, label, quantity, 1, 1, {}};
}

// The ranges are those of the published grading table (Copeland, Jones and
// Walters, Br J Surg 1991;78:355-360), in steps of the option texts'
// precision. Where the option texts print one value in two options, the table
// decides: a systolic pressure of 130 mmHg lies only in the first band (the
// second starts at 131); a white cell count of 4.0 is printed in both bands
// there too and is graded normal, the first option, since 4.0 x10^9/L is the
// usual lower limit of the reference interval.
//
// The plausible ranges catch slips of unit and of the decimal point, not
// illness: each holds every value a living patient has been reported with.
// clang-format off
std::vector<MeasuredFactor> buildMeasuredFactors() {
    return {
        {Age, {same("years", "age")}, 0, true,
         {{{kBelow, 60}}, {{61, 70}}, {{71, kAbove}}},
         {0, 120}, "no one has been documented older than 122 years", {}},
        {SystolicBP, {same("mmHg", "systolic")}, 0, false,
         {{{110, 130}}, {{131, 170}, {100, 109}}, {{171, kAbove}, {90, 99}}, {{kBelow, 89}}},
         {30, 300},
         "below 30 mmHg no pressure is measured by cuff or line; above 300 mmHg is beyond "
         "what is recorded even in a hypertensive crisis",
         {{"kPa", "kPa", "systolic", 75, 10, "1 kPa = 7.50 mmHg"}}},
        {Pulse, {same("/min", "pulse")}, 0, false,
         {{{50, 80}}, {{81, 100}, {40, 49}}, {{101, 120}}, {{121, kAbove}, {kBelow, 39}}},
         {20, 300},
         "below 20 a minute is a dying rhythm; above 300 is faster than any conducted rhythm",
         {}},
        {GlasgowComaScale, {same("points", "GCS")}, 0, true,
         {{{15, 15}}, {{12, 14}}, {{9, 11}}, {{kBelow, 8}}},
         {3, 15}, "the scale runs from 3 to 15", {}},
        {Haemoglobin,
         {same("g/dL", "Hb"),
          {"g/L", "g/L", "Hb", 1, 10, "1 g/dL = 10 g/L"},
          {"mmol/L", "mmol/L", "Hb", 1611, 1000,
           "haemoglobin monomer, 16 114.5 g/mol (ICSH 1995)"}},
         1, false,
         {{{130, 160}}, {{115, 129}, {161, 170}}, {{100, 114}, {171, 180}},
          {{181, kAbove}, {kBelow, 99}}},
         {20, 250},
         "below 2 g/dL and above 25 g/dL have not been survived", {}},
        {WhiteCellCount, {same("\xC3\x97" "10\xE2\x81\xB9/L", "WCC")}, 1, false,
         {{{40, 100}}, {{101, 200}, {31, 39}}, {{201, kAbove}, {kBelow, 30}}},
         {0, 10000},
         "counts near zero occur in marrow failure and counts of several hundred in "
         "leukaemia; above 1000 x10^9/L is a count per microlitre",
         {{"cells/\xC2\xB5L", "/\xC2\xB5L", "WCC", 1, 1000, "1000 /\xC2\xB5L = 1 \xC3\x97" "10\xE2\x81\xB9/L"}}},
        {Urea,
         {same("mmol/L", "urea"),
          {"BUN mg/dL", "mg/dL", "BUN", 357, 1000,
           "urea nitrogen, 2 x 14.007 = 28.014 g/mol: 10/28.014 = 0.357"},
          {"urea mg/dL", "mg/dL", "urea", 1665, 10000,
           "urea CH4N2O, 60.06 g/mol: 10/60.06 = 0.1665"}},
         1, false,
         {{{kBelow, 75}}, {{76, 100}}, {{101, 150}}, {{151, kAbove}}},
         {5, 1500},
         "below 0.5 mmol/L is not seen even in liver failure; above 150 mmol/L is beyond "
         "reported uraemia", {}},
        {Sodium, {same("mmol/L", "sodium")}, 0, false,
         {{{136, kAbove}}, {{131, 135}}, {{126, 130}}, {{kBelow, 125}}},
         {90, 200}, "beyond 90 to 200 mmol/L no patient has been reported alive", {}},
        {Potassium, {same("mmol/L", "potassium")}, 1, false,
         {{{35, 50}}, {{32, 34}, {51, 53}}, {{29, 31}, {54, 59}}, {{kBelow, 28}, {60, kAbove}}},
         {10, 100}, "beyond 1 to 10 mmol/L the heart stops", {}},
    };
}
// clang-format on

constexpr std::int64_t kTen[] = {1, 10, 100, 1000};

std::string numberText(std::int64_t digits, int decimals, char separator) {
    std::string text = std::to_string(digits);
    if (decimals == 0)
        return text;
    if (text.size() <= std::size_t(decimals))
        text.insert(0, std::size_t(decimals) + 1 - text.size(), '0');
    text.insert(text.size() - std::size_t(decimals), 1, separator);
    return text;
}

std::string typedText(TypedNumber number, char separator) {
    return numberText(number.digits, number.decimals, separator);
}

bool isPlausible(const MeasuredFactor& factor, const MeasurementUnit& unit, TypedNumber number) {
    return factor.plausible.holds(toTableSteps(factor, unit, number));
}

std::string refusalOf(const MeasuredFactor& factor, const MeasurementUnit& unit, TypedNumber number,
                      char separator) {
    const std::string typed = typedText(number, separator) + " " + std::string(unit.symbol);
    const MeasurementUnit& table = factor.units.front();
    // A unit in which the number makes sense names the likely slip.
    auto slipInto = [&](const MeasurementUnit& other) -> std::string {
        const std::string question = typed + ": did you mean " + std::string(other.label) + "?";
        if (&other == &table)
            return question;
        const std::int64_t steps = toTableSteps(factor, other, number);
        return question + " " + typedText(number, separator) + " " + std::string(other.symbol) +
               " is " + tableValueText(factor, steps, separator) + " " + std::string(table.symbol) +
               ".";
    };
    for (const MeasurementUnit& other : factor.units) {
        if (&other != &unit && isPlausible(factor, other, number))
            return slipInto(other);
    }
    for (const MeasurementUnit& other : factor.slipUnits) {
        if (isPlausible(factor, other, number))
            return slipInto(other);
    }
    const auto bound = [&](std::int64_t steps) {
        // The bounds in the unit typed, for a reader who did mean it.
        const std::int64_t scale = kTen[factor.tableDecimals];
        const std::int64_t num = steps * unit.denominator;
        const std::int64_t den = scale * unit.numerator;
        if (num % den == 0)
            return std::to_string(num / den);
        // One decimal more than the table shows is enough for a bound.
        const std::int64_t tenths = (num * 10 * 2 + den) / (den * 2);
        return numberText(tenths, 1, separator);
    };
    return typed + " is not plausible: expected " + bound(factor.plausible.low) + " to " +
           bound(factor.plausible.high) + " " + std::string(unit.symbol) + ".";
}

} // namespace

const std::vector<MeasuredFactor>& measuredFactors() {
    static const std::vector<MeasuredFactor> factors = buildMeasuredFactors();
    return factors;
}

const MeasuredFactor* measuredFactor(Factor factor) {
    const auto& all = measuredFactors();
    const auto it = std::ranges::find(all, factor, &MeasuredFactor::factor);
    return it == all.end() ? nullptr : &*it;
}

std::optional<TypedNumber> parseTypedNumber(std::string_view text, char separator) {
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    TypedNumber number{0, 0};
    bool separatorSeen = false;
    int digitCount = 0;
    for (char c : text) {
        if (c == '.' || c == separator) {
            if (separatorSeen)
                return std::nullopt;
            separatorSeen = true;
        } else if (c >= '0' && c <= '9') {
            if (++digitCount > 7 || (separatorSeen && number.decimals == 3))
                return std::nullopt;
            number.digits = number.digits * 10 + (c - '0');
            if (separatorSeen)
                ++number.decimals;
        } else {
            return std::nullopt;
        }
    }
    if (digitCount == 0)
        return std::nullopt;
    return number;
}

std::int64_t toTableSteps(const MeasuredFactor& factor, const MeasurementUnit& unit,
                          TypedNumber number) {
    assert(number.decimals >= 0 && number.decimals <= 3);
    // value = digits / 10^decimals x numerator / denominator, in steps of
    // 10^-tableDecimals, rounded half up. At most 7 digits, a numerator of at
    // most 4 digits and a step of a tenth keep every product far inside 64 bits.
    const std::int64_t num = number.digits * unit.numerator * kTen[factor.tableDecimals];
    const std::int64_t den = unit.denominator * kTen[number.decimals];
    return (2 * num + den) / (2 * den);
}

std::size_t optionHolding(const MeasuredFactor& factor, std::int64_t tableSteps) {
    for (std::size_t position = 0; position < factor.optionRanges.size(); ++position) {
        for (const ValueRange& range : factor.optionRanges[position]) {
            if (range.holds(tableSteps))
                return position;
        }
    }
    assert(false && "the option ranges leave a gap");
    return 0;
}

std::string tableValueText(const MeasuredFactor& factor, std::int64_t steps, char separator) {
    return numberText(steps, factor.tableDecimals, separator);
}

MeasuredReading readMeasurement(const MeasuredFactor& factor, std::size_t unitIndex,
                                std::string_view text, char separator) {
    assert(unitIndex < factor.units.size());
    const MeasurementUnit& unit = factor.units[unitIndex];
    const MeasurementUnit& table = factor.units.front();
    const std::optional<TypedNumber> number = parseTypedNumber(text, separator);
    if (!number) {
        // Built by appending: GCC 12 at -O3 takes "literal" + string for an
        // overlapping copy.
        std::string reason(1, '"');
        reason.append(text).append("\" is not a number.");
        return {std::nullopt, {}, std::move(reason)};
    }
    if (factor.wholeNumbersOnly && number->decimals > 0 &&
        number->digits % kTen[number->decimals] != 0) {
        return {std::nullopt,
                {},
                factor.factor == Age ? "Age is counted in completed years: type a whole number."
                                     : "The Glasgow Coma Scale is a whole number from 3 to 15."};
    }
    if (!isPlausible(factor, unit, *number))
        return {std::nullopt, {}, refusalOf(factor, unit, *number, separator)};

    const std::int64_t steps = toTableSteps(factor, unit, *number);
    const std::string converted =
        tableValueText(factor, steps, separator) + " " + std::string(table.symbol);
    std::string reading;
    if (&unit != &table) {
        reading = std::string(unit.quantity) + " " + typedText(*number, separator) + " " +
                  std::string(unit.symbol) + " = " + std::string(table.quantity) + " " + converted;
    } else if (number->decimals > factor.tableDecimals) {
        // Rounded to the precision the options print, so the grade can be checked.
        reading = typedText(*number, separator) + " " + std::string(unit.symbol) + " rounds to " +
                  converted;
    }
    return {optionHolding(factor, steps), reading, {}};
}

} // namespace caldrin
