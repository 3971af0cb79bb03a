// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "scoring/factors.h"
#include "scoring/patientdetails.h"
#include "scoring/risk.h"

#include <array>
#include <cstddef>
#include <span>
#include <string>
#include <vector>

namespace caldrin {

// The texts the report is made of, exactly as the windows show them when
// Create Report is pressed, as Windows-1252 bytes. The report copies texts,
// not numbers: an empty box gives an empty (or blank-padded) value.
struct ReportSources {
    PatientDetails patient;
    // The score dialogs' points displays, canonical factor order.
    std::array<std::string, kFactorCount> factorPoints;
    std::string physiologicalScore; // the main window's two total boxes
    std::string operativeScore;
    // The main window's risk boxes, indexed by RiskKind.
    std::array<std::string, kRiskKindCount> risks;
};

inline constexpr std::size_t kReportLineCount = 52;

// The report's 52 lines, without line ends.
std::vector<std::string> ComposeReport(const ReportSources& sources);

// The lines as one text, every line followed by CR LF, the last one included.
std::string joinWithCrLf(std::span<const std::string> lines);

} // namespace caldrin
