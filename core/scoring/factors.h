// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace caldrin {

// The 18 graded factors in canonical order: the order of the report lines and
// of the audit file columns. The dialogs offer them in their own keyboard order
// (entry/pagelayout.h).
enum class Factor : std::uint8_t {
    Age,
    Cardiac,
    Respiratory,
    SystolicBP,
    Pulse,
    GlasgowComaScale,
    Haemoglobin,
    WhiteCellCount,
    Urea,
    Sodium,
    Potassium,
    ECG,
    OperativeSeverity,
    MultipleProcedures,
    TotalBloodLoss,
    PeritonealSoiling,
    MalignancyPresent,
    ModeOfSurgery,
};

inline constexpr std::size_t kFactorCount = 18;
inline constexpr std::size_t kPhysiologicalFactorCount = 12;
inline constexpr std::size_t kOperativeFactorCount = 6;

constexpr std::size_t indexOf(Factor factor) {
    return static_cast<std::size_t>(factor);
}

// How an option's position turns into points.
enum class Scale : std::uint8_t {
    Doubling,    // 1, 2, 4, 8
    OneFourEight // 1, 4, 8
};

struct FactorDef {
    Factor factor;
    std::string_view name;    // plain name, as in accessible names ("Age")
    std::string_view heading; // caption of the option group
    Scale scale;
    std::vector<std::string_view> options; // shown exactly as stored, spaces included
};

// All 18 definitions in canonical order.
const std::array<FactorDef, kFactorCount>& allFactors();
const FactorDef& factorDef(Factor factor);

// The 12 physiological and the 6 operative factors, each in canonical order.
std::span<const FactorDef> physiologicalFactors();
std::span<const FactorDef> operativeFactors();

// Points of the option at `position`, which must exist for the factor: 1, 2, 4 or 8.
std::uint8_t pointsOf(const FactorDef& def, std::size_t position);

// The text a points display shows: empty for 0, else the decimal number.
std::string pointsText(std::uint8_t points);

// True when every factor has points of 1 or more.
bool isComplete(std::span<const std::uint8_t> points);

// Sum in unsigned 8-bit arithmetic.
std::uint8_t totalOf(std::span<const std::uint8_t> points);

} // namespace caldrin
