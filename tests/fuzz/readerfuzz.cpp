// SPDX-License-Identifier: GPL-3.0-or-later
// One fuzzing input: the bytes of an audit data file, read, analysed and
// written in every format. The reports must be whole UTF-8 text whatever the
// file holds; the sanitizers catch the rest.

#include "audit/auditanalysis.h"
#include "audit/auditreport.h"
#include "audit/text.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace caldrin::audit;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    AuditReader reader(ReadOptions{caldrin::DateOrder::DayMonthYear, 2024});
    reader.addText("fuzz.csv", bytes);
    const AuditData audit = reader.finish();

    AnalysisOptions options;
    // A fixed limit: the simulation is measured elsewhere and would only slow the search.
    options.limit = 4.0;
    options.maxSeriesPoints = 64;
    const AnalysisResult result = analyse(audit, options);
    for (const ReportFormat format : {ReportFormat::Text, ReportFormat::Csv, ReportFormat::Json}) {
        const std::string report = formatReport(audit, result, options, format);
        if (report.empty() || wellFormedUtf8(report) != report) {
            std::fprintf(stderr, "report %d is not whole UTF-8 text\n", static_cast<int>(format));
            std::abort();
        }
    }
    return 0;
}
