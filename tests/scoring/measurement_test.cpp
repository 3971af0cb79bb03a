// SPDX-License-Identifier: GPL-3.0-or-later
#include "scoring/measurement.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include <string>
#include <vector>

namespace caldrin {
namespace {

using enum Factor;

std::size_t unitNamed(const MeasuredFactor& factor, std::string_view label) {
    for (std::size_t i = 0; i < factor.units.size(); ++i) {
        if (factor.units[i].label == label)
            return i;
    }
    ADD_FAILURE() << "no unit " << label;
    return 0;
}

MeasuredReading read(Factor factor, std::string_view unit, std::string_view text,
                     char separator = '.') {
    const MeasuredFactor& def = *measuredFactor(factor);
    return readMeasurement(def, unitNamed(def, unit), text, separator);
}

struct TypedGrade {
    const char* text;
    std::size_t position;
};

struct EdgeRow {
    Factor factor;
    std::size_t unit; // index into the factor's units
    std::vector<TypedGrade> values;
};

// Every edge between two options, in every unit: the last two values typed
// (at a hundredth, or a whole number for age and the Glasgow Coma Scale) that
// grade on one side and the first two on the other, found by sweeping each
// unit with Python's decimal module (exact products, ROUND_HALF_UP) over the
// published bands, independently of the code under test. In the table's own
// unit the stated edges at the options' precision follow the rounding edges.
// clang-format off
const std::vector<EdgeRow> kEdgeRows{
    {Age, 0, {{"59", 0}, {"60", 0}, {"61", 1}, {"62", 1}}},
    {Age, 0, {{"69", 1}, {"70", 1}, {"71", 2}, {"72", 2}}},
    {SystolicBP, 0, {{"89.48", 3}, {"89.49", 3}, {"89.5", 2}, {"89.51", 2}}},
    {SystolicBP, 0, {{"88", 3}, {"89", 3}, {"90", 2}, {"91", 2}}},
    {SystolicBP, 0, {{"99.48", 2}, {"99.49", 2}, {"99.5", 1}, {"99.51", 1}}},
    {SystolicBP, 0, {{"98", 2}, {"99", 2}, {"100", 1}, {"101", 1}}},
    {SystolicBP, 0, {{"109.48", 1}, {"109.49", 1}, {"109.5", 0}, {"109.51", 0}}},
    {SystolicBP, 0, {{"108", 1}, {"109", 1}, {"110", 0}, {"111", 0}}},
    {SystolicBP, 0, {{"130.48", 0}, {"130.49", 0}, {"130.5", 1}, {"130.51", 1}}},
    {SystolicBP, 0, {{"129", 0}, {"130", 0}, {"131", 1}, {"132", 1}}},
    {SystolicBP, 0, {{"170.48", 1}, {"170.49", 1}, {"170.5", 2}, {"170.51", 2}}},
    {SystolicBP, 0, {{"169", 1}, {"170", 1}, {"171", 2}, {"172", 2}}},
    {Pulse, 0, {{"39.48", 3}, {"39.49", 3}, {"39.5", 1}, {"39.51", 1}}},
    {Pulse, 0, {{"38", 3}, {"39", 3}, {"40", 1}, {"41", 1}}},
    {Pulse, 0, {{"49.48", 1}, {"49.49", 1}, {"49.5", 0}, {"49.51", 0}}},
    {Pulse, 0, {{"48", 1}, {"49", 1}, {"50", 0}, {"51", 0}}},
    {Pulse, 0, {{"80.48", 0}, {"80.49", 0}, {"80.5", 1}, {"80.51", 1}}},
    {Pulse, 0, {{"79", 0}, {"80", 0}, {"81", 1}, {"82", 1}}},
    {Pulse, 0, {{"100.48", 1}, {"100.49", 1}, {"100.5", 2}, {"100.51", 2}}},
    {Pulse, 0, {{"99", 1}, {"100", 1}, {"101", 2}, {"102", 2}}},
    {Pulse, 0, {{"120.48", 2}, {"120.49", 2}, {"120.5", 3}, {"120.51", 3}}},
    {Pulse, 0, {{"119", 2}, {"120", 2}, {"121", 3}, {"122", 3}}},
    {GlasgowComaScale, 0, {{"7", 3}, {"8", 3}, {"9", 2}, {"10", 2}}},
    {GlasgowComaScale, 0, {{"11", 2}, {"12", 1}, {"13", 1}, {"14", 1}}},
    {GlasgowComaScale, 0, {{"15", 0}}},
    {Haemoglobin, 0, {{"9.93", 3}, {"9.94", 3}, {"9.95", 2}, {"9.96", 2}}},
    {Haemoglobin, 0, {{"9.8", 3}, {"9.9", 3}, {"10", 2}, {"10.1", 2}}},
    {Haemoglobin, 0, {{"11.43", 2}, {"11.44", 2}, {"11.45", 1}, {"11.46", 1}}},
    {Haemoglobin, 0, {{"11.3", 2}, {"11.4", 2}, {"11.5", 1}, {"11.6", 1}}},
    {Haemoglobin, 0, {{"12.93", 1}, {"12.94", 1}, {"12.95", 0}, {"12.96", 0}}},
    {Haemoglobin, 0, {{"12.8", 1}, {"12.9", 1}, {"13", 0}, {"13.1", 0}}},
    {Haemoglobin, 0, {{"16.03", 0}, {"16.04", 0}, {"16.05", 1}, {"16.06", 1}}},
    {Haemoglobin, 0, {{"15.9", 0}, {"16", 0}, {"16.1", 1}, {"16.2", 1}}},
    {Haemoglobin, 0, {{"17.03", 1}, {"17.04", 1}, {"17.05", 2}, {"17.06", 2}}},
    {Haemoglobin, 0, {{"16.9", 1}, {"17", 1}, {"17.1", 2}, {"17.2", 2}}},
    {Haemoglobin, 0, {{"18.03", 2}, {"18.04", 2}, {"18.05", 3}, {"18.06", 3}}},
    {Haemoglobin, 0, {{"17.9", 2}, {"18", 2}, {"18.1", 3}, {"18.2", 3}}},
    {Haemoglobin, 1, {{"99.48", 3}, {"99.49", 3}, {"99.5", 2}, {"99.51", 2}}},
    {Haemoglobin, 1, {{"114.48", 2}, {"114.49", 2}, {"114.5", 1}, {"114.51", 1}}},
    {Haemoglobin, 1, {{"129.48", 1}, {"129.49", 1}, {"129.5", 0}, {"129.51", 0}}},
    {Haemoglobin, 1, {{"160.48", 0}, {"160.49", 0}, {"160.5", 1}, {"160.51", 1}}},
    {Haemoglobin, 1, {{"170.48", 1}, {"170.49", 1}, {"170.5", 2}, {"170.51", 2}}},
    {Haemoglobin, 1, {{"180.48", 2}, {"180.49", 2}, {"180.5", 3}, {"180.51", 3}}},
    {Haemoglobin, 2, {{"6.16", 3}, {"6.17", 3}, {"6.18", 2}, {"6.19", 2}}},
    {Haemoglobin, 2, {{"7.09", 2}, {"7.1", 2}, {"7.11", 1}, {"7.12", 1}}},
    {Haemoglobin, 2, {{"8.02", 1}, {"8.03", 1}, {"8.04", 0}, {"8.05", 0}}},
    {Haemoglobin, 2, {{"9.95", 0}, {"9.96", 0}, {"9.97", 1}, {"9.98", 1}}},
    {Haemoglobin, 2, {{"10.57", 1}, {"10.58", 1}, {"10.59", 2}, {"10.6", 2}}},
    {Haemoglobin, 2, {{"11.19", 2}, {"11.2", 2}, {"11.21", 3}, {"11.22", 3}}},
    {WhiteCellCount, 0, {{"3.03", 2}, {"3.04", 2}, {"3.05", 1}, {"3.06", 1}}},
    {WhiteCellCount, 0, {{"2.9", 2}, {"3", 2}, {"3.1", 1}, {"3.2", 1}}},
    {WhiteCellCount, 0, {{"3.93", 1}, {"3.94", 1}, {"3.95", 0}, {"3.96", 0}}},
    {WhiteCellCount, 0, {{"3.8", 1}, {"3.9", 1}, {"4", 0}, {"4.1", 0}}},
    {WhiteCellCount, 0, {{"10.03", 0}, {"10.04", 0}, {"10.05", 1}, {"10.06", 1}}},
    {WhiteCellCount, 0, {{"9.9", 0}, {"10", 0}, {"10.1", 1}, {"10.2", 1}}},
    {WhiteCellCount, 0, {{"20.03", 1}, {"20.04", 1}, {"20.05", 2}, {"20.06", 2}}},
    {WhiteCellCount, 0, {{"19.9", 1}, {"20", 1}, {"20.1", 2}, {"20.2", 2}}},
    {Urea, 0, {{"7.53", 0}, {"7.54", 0}, {"7.55", 1}, {"7.56", 1}}},
    {Urea, 0, {{"7.4", 0}, {"7.5", 0}, {"7.6", 1}, {"7.7", 1}}},
    {Urea, 0, {{"10.03", 1}, {"10.04", 1}, {"10.05", 2}, {"10.06", 2}}},
    {Urea, 0, {{"9.9", 1}, {"10", 1}, {"10.1", 2}, {"10.2", 2}}},
    {Urea, 0, {{"15.03", 2}, {"15.04", 2}, {"15.05", 3}, {"15.06", 3}}},
    {Urea, 0, {{"14.9", 2}, {"15", 2}, {"15.1", 3}, {"15.2", 3}}},
    {Urea, 1, {{"21.13", 0}, {"21.14", 0}, {"21.15", 1}, {"21.16", 1}}},
    {Urea, 1, {{"28.14", 1}, {"28.15", 1}, {"28.16", 2}, {"28.17", 2}}},
    {Urea, 1, {{"42.14", 2}, {"42.15", 2}, {"42.16", 3}, {"42.17", 3}}},
    {Urea, 2, {{"45.33", 0}, {"45.34", 0}, {"45.35", 1}, {"45.36", 1}}},
    {Urea, 2, {{"60.35", 1}, {"60.36", 1}, {"60.37", 2}, {"60.38", 2}}},
    {Urea, 2, {{"90.38", 2}, {"90.39", 2}, {"90.4", 3}, {"90.41", 3}}},
    {Sodium, 0, {{"125.48", 3}, {"125.49", 3}, {"125.5", 2}, {"125.51", 2}}},
    {Sodium, 0, {{"124", 3}, {"125", 3}, {"126", 2}, {"127", 2}}},
    {Sodium, 0, {{"130.48", 2}, {"130.49", 2}, {"130.5", 1}, {"130.51", 1}}},
    {Sodium, 0, {{"129", 2}, {"130", 2}, {"131", 1}, {"132", 1}}},
    {Sodium, 0, {{"135.48", 1}, {"135.49", 1}, {"135.5", 0}, {"135.51", 0}}},
    {Sodium, 0, {{"134", 1}, {"135", 1}, {"136", 0}, {"137", 0}}},
    {Potassium, 0, {{"2.83", 3}, {"2.84", 3}, {"2.85", 2}, {"2.86", 2}}},
    {Potassium, 0, {{"2.7", 3}, {"2.8", 3}, {"2.9", 2}, {"3", 2}}},
    {Potassium, 0, {{"3.13", 2}, {"3.14", 2}, {"3.15", 1}, {"3.16", 1}}},
    {Potassium, 0, {{"3.1", 2}, {"3.2", 1}, {"3.3", 1}, {"3.43", 1}}},
    {Potassium, 0, {{"3.44", 1}, {"3.45", 0}, {"3.46", 0}, {"3.4", 1}}},
    {Potassium, 0, {{"3.5", 0}, {"3.6", 0}, {"5.03", 0}, {"5.04", 0}}},
    {Potassium, 0, {{"5.05", 1}, {"5.06", 1}, {"4.9", 0}, {"5", 0}}},
    {Potassium, 0, {{"5.1", 1}, {"5.2", 1}, {"5.33", 1}, {"5.34", 1}}},
    {Potassium, 0, {{"5.35", 2}, {"5.36", 2}, {"5.3", 1}, {"5.4", 2}}},
    {Potassium, 0, {{"5.5", 2}, {"5.93", 2}, {"5.94", 2}, {"5.95", 3}}},
    {Potassium, 0, {{"5.96", 3}, {"5.8", 2}, {"5.9", 2}, {"6", 3}}},
    {Potassium, 0, {{"6.1", 3}}},
};
// clang-format on

TEST(MeasuredGrades, EveryEdgeOfEveryOptionInEveryUnit) {
    for (const EdgeRow& row : kEdgeRows) {
        const MeasuredFactor& def = *measuredFactor(row.factor);
        for (const TypedGrade& value : row.values) {
            const MeasuredReading reading = readMeasurement(def, row.unit, value.text, '.');
            ASSERT_TRUE(reading.position.has_value())
                << def.units[row.unit].label << " " << value.text << ": " << reading.refusal;
            EXPECT_EQ(*reading.position, value.position)
                << factorDef(row.factor).name << " " << value.text << " "
                << def.units[row.unit].label;
        }
    }
    // Each unit of each factor has rows.
    for (const MeasuredFactor& def : measuredFactors()) {
        for (std::size_t unit = 0; unit < def.units.size(); ++unit) {
            EXPECT_TRUE(std::ranges::any_of(
                kEdgeRows,
                [&](const EdgeRow& row) { return row.factor == def.factor && row.unit == unit; }))
                << factorDef(def.factor).name << " " << def.units[unit].label;
        }
    }
}

// The published table gives every value one grade: no value at the options'
// precision falls in two options or in none, across all plausible values.
TEST(MeasuredGrades, EachPlausibleValueLiesInExactlyOneOption) {
    for (const MeasuredFactor& def : measuredFactors()) {
        for (std::int64_t steps = def.plausible.low; steps <= def.plausible.high; ++steps) {
            int holders = 0;
            for (const auto& ranges : def.optionRanges)
                holders += int(std::ranges::count_if(
                    ranges, [&](const ValueRange& range) { return range.holds(steps); }));
            ASSERT_EQ(holders, 1) << factorDef(def.factor).name << " at " << steps;
        }
        EXPECT_EQ(def.optionRanges.size(), factorDef(def.factor).options.size());
    }
}

// Values the option texts print twice, and values between two printed ranges.
TEST(MeasuredGrades, SharedAndInBetweenValuesFollowThePublishedTable) {
    // "110 -130" and "130 - 170, 100 - 109": the published second band starts at 131.
    EXPECT_EQ(read(SystolicBP, "mmHg", "130").position, 0u);
    // "4 - 10" and "3.1 - 4.0": graded as the normal count.
    EXPECT_EQ(read(WhiteCellCount,
                   "\xC3\x97"
                   "10\xE2\x81\xB9/L",
                   "4.0")
                  .position,
              0u);
    // Between 12.9 and 13, and between 7.5 and 7.6: rounded half up to a tenth.
    EXPECT_EQ(read(Haemoglobin, "g/dL", "12.95").position, 0u);
    EXPECT_EQ(read(Haemoglobin, "g/dL", "12.949").position, 1u);
    EXPECT_EQ(read(Urea, "mmol/L", "7.55").position, 1u);
    EXPECT_EQ(read(Urea, "mmol/L", "7.549").position, 0u);
}

// The factors are those of the molar masses they come from (IUPAC standard
// atomic weights: H 1.008, C 12.011, N 14.007, O 15.999; haemoglobin monomer
// 16 114.5 g/mol as ICSH 1995 states it), to the digits the table keeps.
TEST(MeasuredConversions, FactorsFollowTheMolarMasses) {
    const auto factor = [](Factor f, std::string_view unit) {
        const MeasuredFactor& def = *measuredFactor(f);
        const MeasurementUnit& u = def.units[unitNamed(def, unit)];
        return double(u.numerator) / double(u.denominator);
    };
    const double nitrogen2 = 2 * 14.007;
    const double urea = 12.011 + 4 * 1.008 + 2 * 14.007 + 15.999;
    EXPECT_NEAR(factor(Urea, "BUN mg/dL"), 10 / nitrogen2, 0.0005);
    EXPECT_NEAR(factor(Urea, "urea mg/dL"), 10 / urea, 0.00005);
    EXPECT_NEAR(factor(Haemoglobin, "mmol/L"), 16114.5 / 10000, 0.0005);
    EXPECT_EQ(factor(Haemoglobin, "g/L"), 0.1);
    // The table's own unit converts to itself.
    for (const MeasuredFactor& def : measuredFactors())
        EXPECT_EQ(def.units.front().numerator, def.units.front().denominator);
}

TEST(MeasuredConversions, ShownBesideTheValue) {
    struct Row {
        Factor factor;
        const char* unit;
        const char* typed;
        const char* shown;
        std::size_t position;
    };
    const Row rows[] = {
        {Urea, "BUN mg/dL", "28", "BUN 28 mg/dL = urea 10.0 mmol/L", 1},
        {Urea, "BUN mg/dL", "21", "BUN 21 mg/dL = urea 7.5 mmol/L", 0},
        {Urea, "BUN mg/dL", "42", "BUN 42 mg/dL = urea 15.0 mmol/L", 2},
        {Urea, "urea mg/dL", "60", "urea 60 mg/dL = urea 10.0 mmol/L", 1},
        {Urea, "urea mg/dL", "45", "urea 45 mg/dL = urea 7.5 mmol/L", 0},
        {Haemoglobin, "g/L", "125", "Hb 125 g/L = Hb 12.5 g/dL", 1},
        {Haemoglobin, "g/L", "129.5", "Hb 129.5 g/L = Hb 13.0 g/dL", 0},
        {Haemoglobin, "mmol/L", "7.8", "Hb 7.8 mmol/L = Hb 12.6 g/dL", 1},
        {Haemoglobin, "mmol/L", "8.1", "Hb 8.1 mmol/L = Hb 13.0 g/dL", 0},
        // In the table's unit, only a value typed finer than the options print is explained.
        {Haemoglobin, "g/dL", "12.94", "12.94 g/dL rounds to 12.9 g/dL", 1},
        {Haemoglobin, "g/dL", "12.9", "", 1},
        {SystolicBP, "mmHg", "130.4", "130.4 mmHg rounds to 130 mmHg", 0},
        {Potassium, "mmol/L", "3.46", "3.46 mmol/L rounds to 3.5 mmol/L", 0},
        {Sodium, "mmol/L", "136", "", 0},
    };
    for (const Row& row : rows) {
        const MeasuredReading reading = read(row.factor, row.unit, row.typed);
        EXPECT_EQ(reading.reading, row.shown) << row.typed << " " << row.unit;
        EXPECT_EQ(reading.position, row.position) << row.typed << " " << row.unit;
        EXPECT_EQ(reading.refusal, "");
    }
    // The user's decimal separator is read and written.
    const MeasuredReading comma = read(Urea, "BUN mg/dL", "21,5", ',');
    EXPECT_EQ(comma.reading, "BUN 21,5 mg/dL = urea 7,7 mmol/L");
    EXPECT_EQ(comma.position, 1u);
    EXPECT_EQ(read(Urea, "BUN mg/dL", "21.5", ',').position, 1u);
}

// The first and last plausible values (as rounded for grading) and their
// neighbours outside, in every unit, found by the same independent sweep.
TEST(MeasuredPlausibility, BoundsInEveryUnit) {
    struct Row {
        Factor factor;
        std::size_t unit;
        const char* below; // null where nothing can be typed below
        const char* low;
        const char* high;
        const char* above;
    };
    // clang-format off
    const Row rows[] = {
        {Age, 0, nullptr, "0", "120", "121"},
        {SystolicBP, 0, "29.49", "29.5", "300.49", "300.5"},
        {Pulse, 0, "19.49", "19.5", "300.49", "300.5"},
        {GlasgowComaScale, 0, "2", "3", "15", "16"},
        {Haemoglobin, 0, "1.94", "1.95", "25.04", "25.05"},
        {Haemoglobin, 1, "19.49", "19.5", "250.49", "250.5"},
        {Haemoglobin, 2, "1.21", "1.22", "15.54", "15.55"},
        {WhiteCellCount, 0, nullptr, "0", "1000.04", "1000.05"},
        {Urea, 0, "0.44", "0.45", "150.04", "150.05"},
        {Urea, 1, "1.26", "1.27", "420.3", "420.31"},
        {Urea, 2, "2.7", "2.71", "901.2", "901.21"},
        {Sodium, 0, "89.49", "89.5", "200.49", "200.5"},
        {Potassium, 0, "0.94", "0.95", "10.04", "10.05"},
    };
    // clang-format on
    for (const Row& row : rows) {
        const MeasuredFactor& def = *measuredFactor(row.factor);
        const auto readAs = [&](const char* text) {
            return readMeasurement(def, row.unit, text, '.');
        };
        const std::string where = std::string(def.units[row.unit].label) + " ";
        EXPECT_TRUE(readAs(row.low).position) << where << row.low;
        EXPECT_TRUE(readAs(row.high).position) << where << row.high;
        if (row.below) {
            EXPECT_FALSE(readAs(row.below).position) << where << row.below;
            EXPECT_NE(readAs(row.below).refusal, "") << where << row.below;
        }
        EXPECT_FALSE(readAs(row.above).position) << where << row.above;
        EXPECT_NE(readAs(row.above).refusal, "") << where << row.above;
    }
}

TEST(MeasuredPlausibility, RefusalsNameTheLikelySlip) {
    struct Row {
        Factor factor;
        const char* unit;
        const char* typed;
        const char* refusal;
    };
    const Row rows[] = {
        {Haemoglobin, "g/dL", "150", "150 g/dL: did you mean g/L? 150 g/L is 15.0 g/dL."},
        {Haemoglobin, "g/L", "12.5", "12.5 g/L: did you mean g/dL?"},
        {Haemoglobin, "mmol/L", "125", "125 mmol/L: did you mean g/L? 125 g/L is 12.5 g/dL."},
        {SystolicBP, "mmHg", "16", "16 mmHg: did you mean kPa? 16 kPa is 120 mmHg."},
        {WhiteCellCount,
         "\xC3\x97"
         "10\xE2\x81\xB9/L",
         "7500",
         "7500 \xC3\x97"
         "10\xE2\x81\xB9/L: did you mean cells/\xC2\xB5L? 7500 /\xC2\xB5L is 7.5 "
         "\xC3\x97"
         "10\xE2\x81\xB9/L."},
        {Urea, "mmol/L", "300", "300 mmol/L: did you mean BUN mg/dL? 300 mg/dL is 107.1 mmol/L."},
        {Potassium, "mmol/L", "45", "45 mmol/L is not plausible: expected 1 to 10 mmol/L."},
        {Sodium, "mmol/L", "14", "14 mmol/L is not plausible: expected 90 to 200 mmol/L."},
        {Pulse, "/min", "400", "400 /min is not plausible: expected 20 to 300 /min."},
        {Age, "years", "60.5", "Age is counted in completed years: type a whole number."},
        {Age, "years", "1950", "1950 years is not plausible: expected 0 to 120 years."},
        {GlasgowComaScale, "points", "14.5",
         "The Glasgow Coma Scale is a whole number from 3 to 15."},
        {GlasgowComaScale, "points", "2", "2 points is not plausible: expected 3 to 15 points."},
        {Sodium, "mmol/L", "1.2.3", "\"1.2.3\" is not a number."},
        {Sodium, "mmol/L", "12345678", "\"12345678\" is not a number."},
        {Potassium, "mmol/L", "4.1234", "\"4.1234\" is not a number."},
    };
    for (const Row& row : rows) {
        const MeasuredReading reading = read(row.factor, row.unit, row.typed);
        EXPECT_EQ(reading.refusal, row.refusal) << row.typed << " " << row.unit;
        EXPECT_FALSE(reading.position) << row.typed << " " << row.unit;
        EXPECT_EQ(reading.reading, "");
    }
}

} // namespace
} // namespace caldrin
