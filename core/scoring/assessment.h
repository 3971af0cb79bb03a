// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "scoring/factors.h"
#include "scoring/risk.h"

#include <array>
#include <cstdint>

namespace caldrin {

// The numbers of the current episode: one per running program, owned by the
// episode model. The score dialogs write the factor points, the model the
// totals and the risks.
struct Assessment {
    // Canonical factor order; 0 while a factor has no choice since its page was set up.
    std::array<std::uint8_t, kFactorCount> factorPoints{};
    std::uint8_t physiologicalScore = 0; // 0: not entered
    std::uint8_t operativeScore = 0;     // 0: not entered
    // Indexed by RiskKind; 0 until the first successful Calculate.
    std::array<double, kRiskKindCount> risks{};

    std::uint8_t& points(Factor factor) { return factorPoints[indexOf(factor)]; }
    std::uint8_t points(Factor factor) const { return factorPoints[indexOf(factor)]; }
    double& risk(RiskKind kind) { return risks[static_cast<std::size_t>(kind)]; }
    double risk(RiskKind kind) const { return risks[static_cast<std::size_t>(kind)]; }
};

} // namespace caldrin
