// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "auditformat/columns.h"
#include "scoring/assessment.h"
#include "scoring/patientdetails.h"

#include <array>
#include <cstddef>
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

} // namespace caldrin
