// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Episodes made up for the model update's fits: scores spread over the
// range a general surgical unit sees, outcomes drawn from a chosen
// miscalibration of the published equation, from a fixed seed.

#include "audit/modelupdatefit.h"

#include <cmath>
#include <cstdint>
#include <vector>

namespace caldrin::audit::testing {

struct UpdateDataOptions {
    Model model = Model::PPossum1998Mortality;
    std::size_t episodes = 20000;
    std::uint64_t seed = 1;
    // Outcomes drawn from logit P = intercept + slope L, L the equation's logit.
    double intercept = 0;
    double slope = 1;
};

inline std::vector<UpdateObservation> updateObservations(const UpdateDataOptions& options) {
    std::uint64_t state = options.seed;
    auto uniform = [&state] { // splitmix64: the same numbers on every platform
        std::uint64_t z = (state += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return static_cast<double>((z ^ (z >> 31)) >> 11) * 0x1.0p-53;
    };
    const riskmodels::RiskModel& entry = modelEntry(options.model);
    std::vector<UpdateObservation> observations;
    for (std::size_t i = 0; i < options.episodes; ++i) {
        UpdateObservation o;
        o.physiologicalScore = static_cast<std::uint8_t>(12 + uniform() * 40);
        o.operativeScore = static_cast<std::uint8_t>(6 + uniform() * 26);
        o.risk = riskmodels::riskFromScores(entry, o.physiologicalScore, o.operativeScore);
        const double eta = options.intercept + options.slope * std::log(o.risk / (1 - o.risk));
        o.event = uniform() < 1 / (1 + std::exp(-eta));
        observations.push_back(o);
    }
    return observations;
}

} // namespace caldrin::audit::testing
