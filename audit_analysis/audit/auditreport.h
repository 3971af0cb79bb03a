// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The analysis written out for people (a terminal table) or for other
// programs (CSV, JSON). Texts from the files are converted from Windows-1252
// to UTF-8 and control characters are shown as "?" in text and escaped in
// JSON, so a file cannot drive the terminal.

#include "audit/auditanalysis.h"
#include "audit/updatevalidation.h"

#include <string>

namespace caldrin::audit {

enum class ReportFormat { Text, Csv, Json };

struct ReportOptions {
    // The model whose risk-band table the text report shows.
    Model bandModel = Model::PPossumMortality;
    // Text report: list at most this many reading problems per file (0: all).
    std::size_t maxProblemsListed = 0;
    // Updates checked on the episodes after their fit period, reported after
    // the models (text, JSON, and CSV rows "update").
    std::vector<UpdateValidation> updates;
};

// One writer per format (textreport.cpp, csvreport.cpp, jsonreport.cpp).
std::string textReport(const AuditData& data, const AnalysisResult& result,
                       const AnalysisOptions& analysisOptions, const ReportOptions& options);
std::string csvReport(const AnalysisResult& result,
                      const std::vector<UpdateValidation>& updates = {});
// The CSV report's header and its "update" rows alone.
std::string updateCsvTable(const std::vector<UpdateValidation>& updates);
std::string jsonReport(const AuditData& data, const AnalysisResult& result,
                       const AnalysisOptions& analysisOptions, const ReportOptions& options);

inline std::string formatReport(const AuditData& data, const AnalysisResult& result,
                                const AnalysisOptions& analysisOptions, ReportFormat format,
                                const ReportOptions& options = {}) {
    switch (format) {
    case ReportFormat::Json:
        return jsonReport(data, result, analysisOptions, options);
    case ReportFormat::Csv:
        return csvReport(result, options.updates);
    case ReportFormat::Text:
        break;
    }
    return textReport(data, result, analysisOptions, options);
}

} // namespace caldrin::audit
