// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "audit/auditanalysis.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace caldrin::audit {

// How complete each outcome is among `episodes` (indexes into the data's
// episodes) on `today`.
Completeness measureCompleteness(const AuditData& data, const std::vector<std::uint32_t>& episodes,
                                 const Date& today, int dueDays);

// Whether an episode of day `day` is due for follow-up on `today`: its
// procedure lies at least `dueDays` days back, or its date cannot be read.
bool isDue(std::int32_t day, std::int32_t today, int dueDays);

} // namespace caldrin::audit

namespace caldrin::audit {

// The completeness in the analysis's reports: a section of the text report
// (with the warning first when an outcome is incomplete), the JSON object's
// members, and the CSV's columns for one outcome (empty cells without one).
std::string completenessText(const Completeness& completeness);
std::string completenessJson(const Completeness& completeness);
std::string_view completenessCsvHeader();
std::string completenessCsvCells(const std::optional<Completeness>& completeness, Outcome outcome);
// The warning sentence for an incomplete outcome, for every report and the window.
std::string incompleteWarning(const OutcomeCompleteness& outcome, int dueDays);

} // namespace caldrin::audit
