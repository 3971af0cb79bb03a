// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace caldrin {

// One line of the audit data file per episode: 31 comma-separated fields,
// lines ended by CR LF, text kept as the Windows-1252 bytes it was typed in.

inline constexpr std::size_t kAuditFieldCount = 31;
inline constexpr std::string_view kAuditLineEnd = "\r\n";

// The column names, in file order.
inline constexpr std::array<std::string_view, kAuditFieldCount> kAuditColumns = {
    "NAME",    "ID",        "DOB",        "DATE",   "AGE",    "CARDIAC",  "RESPIRATORY",
    "BP",      "PULSE",     "GCS",        "Hb",     "WCC",    "Urea",     "Na+",
    "K+",      "ECG",       "PHYS_TOTAL", "OP_SEV", "MULT",   "BL_LOSS",  "SOIL",
    "MALIG",   "MODE",      "OP_TOTAL",   "P_MORB", "P_MORT", "P-P_MORT", "V_MORT",
    "VP_MORT", "MORBIDITY", "MORTALITY"};

// Where the columns that are read by position stand.
namespace auditcolumn {
inline constexpr std::size_t kDate = 3;
inline constexpr std::size_t kFirstPhysiologicalFactor = 4; // AGE
inline constexpr std::size_t kPhysiologicalTotal = 16;
inline constexpr std::size_t kOperativeTotal = 23;
inline constexpr std::size_t kFirstRisk = 24; // P_MORB, then the four mortality risks
inline constexpr std::size_t kMorbidity = 29;
inline constexpr std::size_t kMortality = 30;
} // namespace auditcolumn

// The fields before MORBIDITY (NAME .. VP_MORT), each as the reader split it
// (quotes undone): what a record of an outcome learnt later repeats.
using AuditLeadingFields = std::array<std::string, auditcolumn::kMorbidity>;

// True when NAME holds the hashed identifier standing in for name, identity
// number and date of birth: an MD5 digest, 32 hexadecimal digits. A name of
// 32 letters is a name.
bool isHashedIdentifier(std::string_view name);

// The header line, CR LF included. Only a file the program creates gets it.
std::string auditHeaderLine();

// A field as it goes into a comma-separated line: unchanged, or in double
// quotes with inner quotes doubled when it holds a comma, a double quote, CR
// or LF, so that a name like "Smith, John" stays one column. Works on any
// ASCII-compatible bytes (Windows-1252 or UTF-8).
std::string quoteCsvField(std::string_view field);

} // namespace caldrin
