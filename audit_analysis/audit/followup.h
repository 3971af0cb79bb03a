// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Following episodes up: the episodes whose outcome is not yet known, which
// of them are due, and who they are, as the files hold them. The reader must
// have kept the records' leading fields (ReadOptions::keepLeadingFields).

#include "audit/auditanalysis.h"
#include "audit/auditreport.h"
#include "auditformat/columns.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace caldrin::audit {

// Days after the procedure by which both outcomes (complications, death
// within 30 days or in hospital) are known.
inline constexpr int kDefaultDueDays = 30;
// The longest follow-up period the programs take: ten years.
inline constexpr int kLongestDueDays = 3650;

enum class FollowUpState {
    Due,       // the procedure lies at least the follow-up period back
    NoDate,    // the date of procedure cannot be read (counted as due)
    NotYetDue, // the follow-up period is not over
};

struct FollowUpOptions {
    Date today;
    int dueDays = kDefaultDueDays;
    std::optional<Date> from; // inclusive range of procedure dates, as the analysis takes it
    std::optional<Date> to;
};

// The fields before MORBIDITY (Windows-1252 bytes, quotes undone).
using LeadingFields = AuditLeadingFields;

// The episode's 29 leading fields exactly as the reader split them: what a
// record of its outcome repeats. Nothing when they were not kept, or when
// the line had more fields than the file has columns (its identity is not
// known).
std::optional<LeadingFields> followUpFields(const AuditData& data, std::size_t episode);

// The fields kept for the episode as one text, equal for two episodes
// exactly when their fields are (to find an episode again once the files
// are read again); empty when none were kept.
std::string followUpKey(const AuditData& data, std::size_t episode);

// For a line read from the right, the text before its DATE as written (the
// name, identity number and date of birth with the comma that shifted
// them, Windows-1252); nothing otherwise.
std::optional<std::string> identityAsWritten(const AuditData& data, std::size_t episode);

// Who the episode is, for people (UTF-8, control codes as "?"): "name / ID /
// date of birth" with "-" for an empty one, "hashed " and the identifier, or
// "as written: " and the text before DATE of a line read from the right.
std::string identityText(const AuditData& data, std::size_t episode);

// Why a new record could never take an episode's place.
enum class FollowUpBar {
    None,
    IdentityNotTrusted, // a line with more fields than columns: never merged
    NoIdentity,         // name, identity number and date of birth all empty
    NotKept,            // read without ReadOptions::keepLeadingFields
};

struct OutstandingEpisode {
    std::uint32_t episode = 0; // index into AuditData::episodes()
    FollowUpState state = FollowUpState::Due;
    FollowUpBar bar = FollowUpBar::None;
    std::optional<std::int32_t> daysSince; // none without a readable date

    bool due() const { return state != FollowUpState::NotYetDue; }
    bool canFollowUp() const { return bar == FollowUpBar::None; }
};

// The reason in words, for people: empty for FollowUpBar::None.
std::string_view followUpBarText(FollowUpBar bar);

// Every episode (after merging) whose morbidity or mortality is not "0" or
// "1": the due ones first, longest waiting first, then those without a
// readable date in file order, then those not yet due.
std::vector<OutstandingEpisode> outstandingEpisodes(const AuditData& data,
                                                    const FollowUpOptions& options);

// The list for people, spreadsheets (UTF-8) or programs.
std::string formatOutstanding(const AuditData& data, const std::vector<OutstandingEpisode>& list,
                              const FollowUpOptions& options, ReportFormat format);

// NAME holds the hashed identifier standing in for the three.
inline bool isHashedIdentity(const LeadingFields& fields) {
    return isHashedIdentifier(fields[0]);
}

// What the state reads as: "due", "no readable date", "not yet due".
std::string_view followUpStateText(FollowUpState state);

} // namespace caldrin::audit
