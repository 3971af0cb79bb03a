// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "auditformat/columns.h"
#include "records_core/auditfile.h"
#include "scoring/assessment.h"
#include "scoring/patientdetails.h"

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace caldrin {

// True when the hashed identifier stands in for name, identity and date of
// birth: decided by its length alone (32 characters).
bool usesHashedIdentifier(const PatientDetails& details);

// A risk fraction with four decimals and a full stop, whatever the locale:
// 0.0547, 1.0000. Always six characters: a value outside 0 to 1 (or not a
// number) is held to that range.
std::string formatAuditFraction(double fraction);

// The 31 field texts in column order, before quoting.
std::array<std::string, kAuditFieldCount> auditRecordFields(const Assessment& assessment,
                                                            const PatientDetails& details);

// The record line, CR LF included.
std::string auditRecordLine(const Assessment& assessment, const PatientDetails& details);

// The record of an outcome learnt later: an earlier record's first 29 fields
// as they were read, quoted the way every record is, then MORBIDITY and
// MORTALITY as "0" or "1", CR LF included. Read back, it is one record of 31
// fields with the same identity and date, so it takes the earlier one's
// place when the file is analysed. Nothing when name, identity number and
// date of birth are all empty: such a record could never take any place.
std::optional<std::string> outcomeRecordLine(const AuditLeadingFields& leading, bool morbidity,
                                             bool died);

// What the user is told when the audit file cannot take a record.
std::string_view auditFileProblemMessage(AuditFileProblem problem);

} // namespace caldrin
