// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Checking a model update on later data: the updated model measured as one
// more model on the episodes after its fit period only, so that next
// quarter's audit validates this quarter's update (temporal validation).
// The episodes it was fitted on are counted as used to fit and left out.

#include "audit/auditanalysis.h"
#include "modelupdate/modelupdate.h"

#include <optional>
#include <string>
#include <vector>

namespace caldrin::audit {

struct UpdateValidation {
    std::string path;    // the update file as named
    std::string refusal; // why the file was refused; nothing else is set then
    std::optional<modelupdate::ModelUpdate> update;
    Model model = Model::PPossumMortality; // the model updated, when `update` is set
    // "P-POSSUM mortality, updated on Ward 7, 2025-01-01 to 2025-12-31"
    std::string name;
    // The model's counted episodes left out, by why.
    std::uint64_t usedToFit = 0;        // dated within the fit period
    std::uint64_t beforeFitPeriod = 0;  // dated before it
    std::uint64_t undated = 0;          // no readable date: cannot be placed after it
    std::uint64_t outsideDateRange = 0; // after it, but outside the range asked for
    // On the episodes after the fit period, with the updated risks.
    ObservedExpected overall;
    Discrimination discrimination;
    Calibration calibration;
    std::optional<double> brier;
    bool fewEvents = true;
};

// What `name` says of an update.
std::string updateName(const modelupdate::ModelUpdate& update);

// The update read from `path` (or refused: `read.refusal`) checked on the
// episodes after its fit period within the options' date range.
UpdateValidation validateUpdate(const AuditData& data, const std::string& path,
                                const modelupdate::ReadUpdate& read,
                                const AnalysisOptions& options);

// The checks for people, and as a JSON array. The CSV report's rows of
// them, under its whole header, are `updateCsvTable` (auditreport.h).
std::string updateValidationText(const std::vector<UpdateValidation>& checks);
std::string updateValidationJson(const std::vector<UpdateValidation>& checks);

} // namespace caldrin::audit
