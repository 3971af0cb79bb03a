// SPDX-License-Identifier: GPL-3.0-or-later
#include "report_core/reporttext.h"

#include "riskmodels/riskmodels.h"
#include "scoring/padding.h"

#include <string_view>

namespace caldrin {

namespace {

// Report lines are 8-bit short texts: a value's source and the joined line
// are each kept to this many characters.
constexpr std::size_t kShortTextLimit = 255;

constexpr std::size_t kPointsWidth = 3;
constexpr std::size_t kRiskWidth = 6;

// Value labels in canonical factor order; the colon stands in column 21.
constexpr std::array<std::string_view, kFactorCount> kFactorLabels{
    "Age                 : ", "Cardiac             : ", "Respiratory         : ",
    "Systolic BP         : ", "Pulse               : ", "Glasgow Coma Scale  : ",
    "Haemoglobin         : ", "White Cell Count    : ", "Urea                : ",
    "Sodium              : ", "Potassium           : ", "ECG                 : ",
    "Operative severity  : ", "Multiple procedures : ", "Total blood loss    : ",
    "Peritoneal soiling  : ", "Malignancy present  : ", "Mode of surgery     : ",
};

// The risks in the order the report lists them, which is not RiskKind order.
// Each is labelled with the model table's abbreviation, colon in column 21.
constexpr std::array<RiskKind, kRiskKindCount> kRiskLines{{
    RiskKind::PossumMorbidity,
    RiskKind::PossumMortality,
    RiskKind::PPossumMortality,
    RiskKind::RaaaPossumMortality,
    RiskKind::RaaaPossumPhysiologicalMortality,
}};

std::string riskLabel(RiskKind kind) {
    const auto id = riskmodels::ModelId(static_cast<std::size_t>(kind));
    std::string label(riskmodels::model(id).abbreviation);
    label.resize(20, ' ');
    return label + ": ";
}

class ReportWriter {
public:
    std::vector<std::string> lines;

    void blank(int count = 1) {
        for (int i = 0; i < count; ++i)
            lines.emplace_back();
    }
    void heading(std::string_view text) { lines.emplace_back(text); }
    void detail(std::string_view label, const std::string& text) {
        lines.push_back(std::string(label) + text);
    }
    void value(std::string_view label, const std::string& text, std::size_t width) {
        const std::string_view source = std::string_view(text).substr(0, kShortTextLimit);
        std::string line = std::string(label) + leftPad(source, width);
        if (line.size() > kShortTextLimit)
            line.resize(kShortTextLimit);
        lines.push_back(std::move(line));
    }
};

} // namespace

std::vector<std::string> ComposeReport(const ReportSources& sources) {
    const PatientDetails& patient = sources.patient;
    ReportWriter report;
    report.lines.reserve(kReportLineCount);

    report.blank(5);
    report.detail("Name                :   ", patient.name);
    report.detail("ID                  :   ", patient.identity);
    report.detail("DOB                 :   ", patient.dateOfBirth);
    report.blank();
    report.detail("Date                :   ", patient.dateOfProcedure);
    report.blank();
    report.detail("Hashed identifier   :   ", patient.hashedIdentifier);
    report.blank();

    report.heading("Physiological score :   ");
    report.blank();
    for (std::size_t i = 0; i < kPhysiologicalFactorCount; ++i)
        report.value(kFactorLabels[i], sources.factorPoints[i], kPointsWidth);
    report.blank();
    report.value("TOTAL               : ", sources.physiologicalScore, kPointsWidth);
    report.blank(2);

    report.heading("Operative severity score:  ");
    report.blank();
    for (std::size_t i = kPhysiologicalFactorCount; i < kFactorCount; ++i)
        report.value(kFactorLabels[i], sources.factorPoints[i], kPointsWidth);
    report.blank();
    report.value("TOTAL               : ", sources.operativeScore, kPointsWidth);
    report.blank(2);

    for (const RiskKind kind : kRiskLines)
        report.value(riskLabel(kind), sources.risks[static_cast<std::size_t>(kind)], kRiskWidth);
    report.blank();
    report.value("Actual Morbidity    : ", patient.morbidity, kPointsWidth);
    report.value("Actual Mortality    : ", patient.died, kPointsWidth);
    report.blank();

    return std::move(report.lines);
}

std::string joinWithCrLf(std::span<const std::string> lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

} // namespace caldrin
