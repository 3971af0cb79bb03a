// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The eight risk models the audit measures (five stored in the file, three
// computed from its scores), their keys, titles and outcomes.

#include "riskmodels/riskmodels.h"

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

namespace caldrin::audit {

// The stored risks come first, in the order of the audit file's risk columns
// read as morbidity first; the computed models follow. The names, equations
// and sources of all of them are riskmodels' table.
enum class Model {
    PossumMorbidity,
    PossumMortality,
    PPossumMortality,
    RaaaPossumMortality,              // the file's V_MORT column
    RaaaPossumPhysiologicalMortality, // the file's VP_MORT column
    VPossum2001Mortality,             // computed from PHYS_TOTAL and OP_TOTAL
    VPossum2001PhysiologicalMortality,
    PPossum1998Mortality,
};
inline constexpr std::size_t kModelCount = 8;
inline constexpr std::size_t kStoredModelCount = 5;
inline constexpr std::array<Model, kModelCount> kAllModels = {
    Model::PossumMorbidity,
    Model::PossumMortality,
    Model::PPossumMortality,
    Model::RaaaPossumMortality,
    Model::RaaaPossumPhysiologicalMortality,
    Model::VPossum2001Mortality,
    Model::VPossum2001PhysiologicalMortality,
    Model::PPossum1998Mortality};

enum class Outcome { Morbidity, Mortality };

// The model's row in the table of risk models.
const riskmodels::RiskModel& modelEntry(Model model);
// Read from the file (the first five) or computed from the two scores.
bool isStoredModel(Model model);
// The JSON and CSV key: "possum_morbidity", ..., "raaa_possum_mortality",
// "v_possum_2001_mortality", "p_possum_1998_mortality".
std::string_view modelKey(Model model);
// What a reader sees: "POSSUM morbidity", "RAAA-POSSUM mortality", ...
std::string_view modelTitle(Model model);
// Accepts the key, or the key with "-" for "_" and any case, or the short
// name ("p-possum", "raaa-possum", "v-possum-2001"). The names the stored
// ruptured-aneurysm risks had before ("v-possum", "v-possum-physiological")
// still choose them; `oldName` then tells the caller so it can say so.
struct ModelChoice {
    Model model;
    bool oldName = false;
};
std::optional<ModelChoice> modelFromName(std::string_view name);
Outcome modelOutcome(Model model);
std::string_view outcomeKey(Outcome outcome); // "morbidity", "mortality"

} // namespace caldrin::audit
