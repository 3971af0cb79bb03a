// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Audit data files made up for tests and benchmarks: records written the way
// the calculator writes them, with risks from the real risk equations and
// outcomes drawn from one model's risks.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace caldrin::audit::testing {

struct GeneratedAudit {
    std::size_t records = 1000;
    std::uint64_t seed = 1;
    bool header = true;
    // Outcomes are drawn from the P-POSSUM mortality and POSSUM morbidity
    // risks with their odds multiplied by this (1: the models are right).
    double oddsMultiplier = 1.0;
    double hashedShare = 0.5; // records under a hashed identifier
    double repeatShare = 0.0; // records repeating an earlier episode
    double unknownOutcomeShare = 0.0;
    int firstYear = 2021;
    int years = 3;
};

// Calls `write` with successive pieces of the file.
void generateAudit(const GeneratedAudit& options,
                   const std::function<void(const std::string&)>& write);

std::string generateAuditText(const GeneratedAudit& options);
// Writes the file at `path`; false when it cannot be written.
bool writeAuditFile(const std::string& path, const GeneratedAudit& options);

} // namespace caldrin::audit::testing
