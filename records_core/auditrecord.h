#pragma once

#include "scoring/assessment.h"
#include "scoring/patientdetails.h"

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace caldrin {

// One line of the audit data file per episode: 31 comma-separated fields,
// lines ended by CR LF, text kept as the Windows-1252 bytes it was typed in.

inline constexpr std::size_t kAuditFieldCount = 31;
inline constexpr std::string_view kAuditLineEnd = "\r\n";

// The column names, CR LF included. Only a file the program creates gets it.
std::string auditHeaderLine();

// True when the hashed identifier stands in for name, identity and date of
// birth: decided by its length alone (32 characters).
bool usesHashedIdentifier(const PatientDetails& details);

// A risk fraction with four decimals and a full stop, whatever the locale:
// 0.0547, 1.0000. Always six characters: a value outside 0 to 1 (or not a
// number) is held to that range.
std::string formatAuditFraction(double fraction);

// A field as it goes into the line: unchanged, or in double quotes with inner
// quotes doubled when it holds a comma, a double quote, CR or LF, so that a
// name like "Smith, John" stays one column.
std::string quoteAuditField(std::string_view field);

// The 31 field texts in column order, before quoting.
std::array<std::string, kAuditFieldCount> auditRecordFields(const Assessment& assessment,
                                                            const PatientDetails& details);

// The record line, CR LF included.
std::string auditRecordLine(const Assessment& assessment, const PatientDetails& details);

} // namespace caldrin
