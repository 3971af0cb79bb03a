// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

// The one table of risk models that every place a person reads a model name,
// equation, outcome or source follows: the calculator, the report, the help,
// the audit analysis and its manual page and PDF. Plain C++, links nothing.
namespace caldrin::riskmodels {

// The first five are the risks the calculator stores in the audit file, in
// the order of their stored risk kinds; the last three are computed from the
// two scores wherever they are shown.
enum class ModelId : std::size_t {
    PossumMortality = 0,
    PossumMorbidity = 1,
    PPossum1996Mortality = 2,
    RaaaPossumMortality = 3,
    RaaaPossumPhysiologicalMortality = 4,
    VPossum2001Mortality = 5,
    VPossum2001PhysiologicalMortality = 6,
    PPossum1998Mortality = 7,
};

inline constexpr std::size_t kModelCount = 8;
inline constexpr std::size_t kStoredModelCount = 5;

enum class Predicts { Morbidity, Mortality };

struct RiskModel {
    ModelId id;
    std::string_view title;        // what a reader sees: "RAAA-POSSUM mortality"
    std::string_view abbreviation; // at most 20 characters, for the report's column
    std::string_view key;          // the audit analysis's JSON key
    std::string_view shortName;    // the audit command's --model name
    double intercept;              // log odds = intercept + ps * PS + os * OS
    double psCoefficient;
    double osCoefficient; // 0 where the equation uses the physiology alone
    bool usesOperativeScore;
    Predicts predicts;
    std::string_view outcome;    // the outcome as the source defines it
    std::string_view population; // the patients the equation was fitted to
    std::string_view citation;
    std::string_view doi;
    std::string_view storedColumn; // the audit file's column, empty when computed
};

const std::array<RiskModel, kModelCount>& allModels();
const RiskModel& model(ModelId id);

inline bool isStored(const RiskModel& m) {
    return !m.storedColumn.empty();
}

// Risk as a fraction in [0, 1]; the scores are not rounded.
double riskFromScores(const RiskModel& m, double physiologicalScore, double operativeScore);

// "ln(R/(1-R)) = -9.065 + 0.1692 x PS + 0.1550 x OS", constants as published.
std::string equationText(const RiskModel& m);

} // namespace caldrin::riskmodels
