// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "riskmodels/riskmodels.h"
#include "scoring/factors.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// What drives a risk: the graded factors that add most to it on the model's
// log-odds scale, and for each what the risk would have been one grade lower.
// A factor's share is its points above the lowest grade (1 point) times the
// model's coefficient for its score; it is a reading of the equation, not a
// cause, and a what-if is not advice.
namespace caldrin::riskdrivers {

struct WhatIf {
    std::string condition; // "if the operation had been planned, not an emergency"
    double risk = 0;       // the model's risk with the factor one grade lower
};

struct Driver {
    Factor factor{};
    std::string words;       // "emergency operation"
    double logOddsAdded = 0; // (points - 1) x coefficient
    bool canChange = true;   // false for age and cancer: named, no what-if
    std::optional<WhatIf> whatIf;
};

struct Drivers {
    std::vector<Driver> drivers; // most first; at most the number asked for
    std::string missingReason;   // set when the drivers cannot be worked out
};

// The factors' points in canonical order, and the two totals they should add
// up to. Scores typed in directly carry no factors: the reason says so.
Drivers riskDrivers(const riskmodels::RiskModel& model,
                    const std::array<std::uint8_t, kFactorCount>& points,
                    std::uint8_t physiologicalScore, std::uint8_t operativeScore,
                    std::size_t count = 3);

// The plain words for a factor at an option position ("very low blood
// pressure"); empty at the lowest grade, which adds nothing.
std::string factorWords(Factor factor, std::size_t position);

} // namespace caldrin::riskdrivers
