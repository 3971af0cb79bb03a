// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace caldrin {

// The five risks the calculator stores, in the order of the audit file's
// columns; the numbers are fixed, index the stored risks and equal the first
// five riskmodels::ModelId values. RaaaPossum* are the ruptured-aneurysm
// equations (the audit file's V_MORT and VP_MORT columns).
enum class RiskKind : std::uint8_t {
    PossumMortality = 0,
    PossumMorbidity = 1,
    PPossumMortality = 2,
    RaaaPossumMortality = 3,
    RaaaPossumPhysiologicalMortality = 4,
};

inline constexpr std::size_t kRiskKindCount = 5;

// Risk as a fraction in [0, 1] from the Physiological score `ps` and the
// Operative severity score `os`. Callers pass non-zero scores.
double ComputeRisk(RiskKind kind, std::uint8_t ps, std::uint8_t os);

// The 7-character percentage text of a risk ("  5.47%", "100.00%"), with the
// given decimal separator. The separator is a parameter so that the core never
// reads the user's regional settings itself.
std::string FormatRiskPercent(double risk, char decimalSeparator = '.');

} // namespace caldrin
