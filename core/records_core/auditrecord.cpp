// SPDX-License-Identifier: GPL-3.0-or-later
#include "records_core/auditrecord.h"

#include "scoring/padding.h"

#include <charconv>
#include <span>

namespace caldrin {

namespace {

constexpr std::size_t kHashedIdentifierLength = 32;
constexpr std::size_t kFractionWidth = 6;

// The risk columns, in the order of the header (morbidity first).
constexpr RiskKind kRiskColumns[kRiskKindCount] = {
    RiskKind::PossumMorbidity,
    RiskKind::PossumMortality,
    RiskKind::PPossumMortality,
    RiskKind::RaaaPossumMortality,
    RiskKind::RaaaPossumPhysiologicalMortality,
};

// Fields joined into a line as the reader splits them again.
void appendFields(std::string& line, std::span<const std::string> fields) {
    bool first = true;
    for (const std::string& field : fields) {
        if (!first)
            line += ',';
        first = false;
        line += quoteCsvField(field);
    }
}

} // namespace

bool usesHashedIdentifier(const PatientDetails& details) {
    return details.hashedIdentifier.size() == kHashedIdentifierLength;
}

std::string formatAuditFraction(double fraction) {
    // A risk is a fraction from 0 to 1; anything else (a negative zero, a
    // value out of range, not a number) is held to that range, so the column
    // always gets its six characters.
    if (!(fraction > 0.0))
        fraction = 0.0;
    else if (fraction > 1.0)
        fraction = 1.0;
    // std::to_chars ignores the locale, so a comma never creeps in.
    char digits[16];
    const auto [end, error] =
        std::to_chars(digits, digits + sizeof digits, fraction, std::chars_format::fixed, 4);
    if (error != std::errc())
        return std::string(kFractionWidth, '?');
    return leftPad(std::string_view(digits, end), kFractionWidth);
}

std::array<std::string, kAuditFieldCount> auditRecordFields(const Assessment& assessment,
                                                            const PatientDetails& details) {
    std::array<std::string, kAuditFieldCount> fields;
    std::size_t next = 0;
    if (usesHashedIdentifier(details)) {
        fields[next++] = details.hashedIdentifier;
        fields[next++] = std::string();
        fields[next++] = std::string();
    } else {
        fields[next++] = details.name;
        fields[next++] = details.identity;
        fields[next++] = details.dateOfBirth;
    }
    fields[next++] = details.dateOfProcedure;
    for (std::size_t i = 0; i < kPhysiologicalFactorCount; ++i)
        fields[next++] = std::to_string(assessment.factorPoints[i]);
    fields[next++] = std::to_string(assessment.physiologicalScore);
    for (std::size_t i = kPhysiologicalFactorCount; i < kFactorCount; ++i)
        fields[next++] = std::to_string(assessment.factorPoints[i]);
    fields[next++] = std::to_string(assessment.operativeScore);
    for (const RiskKind kind : kRiskColumns)
        fields[next++] = formatAuditFraction(assessment.risk(kind));
    fields[next++] = details.morbidity;
    fields[next++] = details.died;
    return fields;
}

std::string auditRecordLine(const Assessment& assessment, const PatientDetails& details) {
    std::string line;
    appendFields(line, auditRecordFields(assessment, details));
    line += kAuditLineEnd;
    return line;
}

std::optional<std::string> outcomeRecordLine(const AuditLeadingFields& leading, bool morbidity,
                                             bool died) {
    if (leading[0].empty() && leading[1].empty() && leading[2].empty())
        return std::nullopt;
    std::string line;
    appendFields(line, leading);
    line += morbidity ? ",1" : ",0";
    line += died ? ",1" : ",0";
    line += kAuditLineEnd;
    return line;
}

std::string_view auditFileProblemMessage(AuditFileProblem problem) {
    switch (problem) {
    case AuditFileProblem::NotText:
        return "The file does not hold plain 8-bit text (it looks like Unicode or binary data), "
               "so it was left as it is and no record was added.";
    case AuditFileProblem::Unreadable:
        return "The file can be written but not read, so its end cannot be checked; it was left "
               "as it is and no record was added.";
    case AuditFileProblem::Locked:
        return "The file is open for writing in another program (a calculator that has added "
               "records to it holds it until it is closed), so nothing was written. Close that "
               "program and try again.";
    case AuditFileProblem::WriteFailed:
        return "File write failure.";
    case AuditFileProblem::None:
    case AuditFileProblem::CannotOpen:
        break;
    }
    return "Failure to open output file.";
}

} // namespace caldrin
