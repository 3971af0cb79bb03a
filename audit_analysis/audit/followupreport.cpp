// SPDX-License-Identifier: GPL-3.0-or-later
#include "audit/completeness.h"
#include "audit/followup.h"
#include "audit/text.h"
#include "auditformat/columns.h"

#include <algorithm>
#include <cstdio>

namespace caldrin::audit {

namespace {

std::string monthText(int year, int month) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d", year, month);
    return buffer;
}

std::string count(std::uint64_t value) {
    return std::to_string(value);
}

std::string_view outcomeName(Outcome outcome, bool capital) {
    if (outcome == Outcome::Mortality)
        return capital ? "Mortality" : "mortality";
    return capital ? "Morbidity" : "morbidity";
}

std::string shareText(const std::optional<double>& share) {
    return share ? fixedText(*share * 100, 1) + "%" : "-";
}

// File text shown on a terminal: Windows-1252 to UTF-8, control codes as "?".
std::string shown(std::string_view bytes) {
    std::string out;
    for (const char c : utf8FromCp1252(bytes)) {
        const auto b = static_cast<unsigned char>(c);
        out += (b < 0x20 || b == 0x7F) ? '?' : c;
    }
    return out;
}

// A file name on a terminal: bytes that are not UTF-8 shown as "\xFF".
std::string shownPath(std::string_view path) {
    std::string out;
    for (const char c : wellFormedUtf8(path, true)) {
        const auto b = static_cast<unsigned char>(c);
        out += (b < 0x20 || b == 0x7F) ? '?' : c;
    }
    return out;
}

std::string csvCounts(const CompletenessCounts& c) {
    const std::optional<double> share = c.knownShareOfDue();
    return count(c.knownDue) + "," + count(c.knownNotDue) + "," + count(c.unknownDue) + "," +
           count(c.unknownNotDue) + "," + count(c.unknownNoDate) + "," +
           (share ? shortestText(*share) : std::string());
}

std::string jsonCounts(const CompletenessCounts& c) {
    const std::optional<double> share = c.knownShareOfDue();
    return "\"known\": " + count(c.known()) + ", \"known_due\": " + count(c.knownDue) +
           ", \"known_not_yet_due\": " + count(c.knownNotDue) +
           ", \"unknown_due\": " + count(c.unknownDue) +
           ", \"unknown_not_yet_due\": " + count(c.unknownNotDue) +
           ", \"unknown_no_date\": " + count(c.unknownNoDate) +
           ", \"known_share_of_due\": " + (share ? shortestText(*share) : std::string("null"));
}

std::string outcomeCell(int outcome) {
    return outcome < 0 ? std::string("unknown") : std::to_string(outcome);
}

double pPossum(const Episode& e) {
    return e.riskTenThousandths[static_cast<std::size_t>(Model::PPossumMortality)] / 10000.0;
}

} // namespace

std::string identityText(const AuditData& data, std::size_t episode) {
    if (const std::optional<std::string> written = identityAsWritten(data, episode))
        return "as written: " + shown(*written);
    const LeadingFields f = followUpFields(data, episode).value_or(LeadingFields{});
    if (isHashedIdentity(f))
        return "hashed " + f[0];
    auto part = [](const std::string& text) {
        return text.empty() ? std::string("-") : shown(text);
    };
    return part(f[0]) + " / " + part(f[1]) + " / " + part(f[2]);
}

std::string incompleteWarning(const OutcomeCompleteness& outcome, int dueDays) {
    const CompletenessCounts& c = outcome.overall;
    return "Warning: only " + shareText(c.knownShareOfDue()) + " of the " + count(c.due()) +
           " episodes due for follow-up (procedure " + std::to_string(dueDays) +
           " days ago or more, or no readable date) have a known " +
           std::string(outcomeName(outcome.outcome, false)) +
           " outcome, fewer than 95%: the observed-to-expected figures describe only the "
           "patients followed up and are unreliable until the outcomes are completed.";
}

std::string completenessText(const Completeness& completeness) {
    std::string out = "Completeness of outcomes on " + isoDate(completeness.today) + " (due " +
                      std::to_string(completeness.dueDays) + " days after the procedure)\n\n";
    for (const OutcomeCompleteness& o : completeness.outcomes)
        if (o.incomplete())
            out += wrapped(incompleteWarning(o, completeness.dueDays)) + "\n";
    char line[160];
    std::snprintf(line, sizeof line, "  %-9s  %8s  %8s  %12s  %11s  %7s\n", "Outcome", "Known",
                  "Due", "Due, unknown", "Not yet due", "Known");
    out += line;
    std::snprintf(line, sizeof line, "  %-9s  %8s  %8s  %12s  %11s  %7s\n", "", "", "", "",
                  "(unknown)", "of due");
    out += line;
    for (const OutcomeCompleteness* outcome :
         {&completeness.outcomes[1], &completeness.outcomes[0]}) {
        const OutcomeCompleteness& o = *outcome;
        const CompletenessCounts& c = o.overall;
        std::snprintf(line, sizeof line, "  %-9s  %8s  %8s  %12s  %11s  %7s\n",
                      std::string(outcomeName(o.outcome, true)).c_str(), count(c.known()).c_str(),
                      count(c.due()).c_str(), count(c.unknownDue).c_str(),
                      count(c.unknownNotDue).c_str(), shareText(c.knownShareOfDue()).c_str());
        out += line;
    }
    for (const OutcomeCompleteness& o : completeness.outcomes)
        if (o.overall.unknownNoDate > 0)
            out += "  " + std::string(outcomeName(o.outcome, true)) + ": " +
                   count(o.overall.unknownNoDate) +
                   " unknown outcomes have no readable date and are counted as due.\n";
    const auto& morbidity = completeness.outcomes[0].byMonth;
    const auto& mortality = completeness.outcomes[1].byMonth;
    if (!mortality.empty()) {
        out += "\n  By month of procedure (known of due)\n";
        out += "  Month    Mortality                   Morbidity\n";
        for (std::size_t m = 0; m < mortality.size() && m < morbidity.size(); ++m) {
            auto cell = [](const CompletenessCounts& c) {
                if (c.due() == 0)
                    return std::string("none due");
                return count(c.knownDue) + " of " + count(c.due()) + " (" +
                       shareText(c.knownShareOfDue()) + ")";
            };
            std::snprintf(line, sizeof line, "  %-7s  %-26s  %-26s\n",
                          monthText(mortality[m].year, mortality[m].month).c_str(),
                          cell(mortality[m].counts).c_str(), cell(morbidity[m].counts).c_str());
            std::string text = line;
            while (text.size() > 1 && text[text.size() - 2] == ' ')
                text.erase(text.size() - 2, 1);
            out += text;
        }
    }
    return out + "\n";
}

std::string completenessJson(const Completeness& completeness) {
    std::string out = "{\"today\": \"" + isoDate(completeness.today) +
                      "\", \"due_days\": " + std::to_string(completeness.dueDays);
    for (const OutcomeCompleteness& o : completeness.outcomes) {
        out += ",\n    " + jsonString(outcomeName(o.outcome, false)) + ": {" +
               jsonCounts(o.overall) + ", \"incomplete\": " + (o.incomplete() ? "true" : "false") +
               ", \"by_month\": [";
        bool first = true;
        for (const MonthCompleteness& m : o.byMonth) {
            out += first ? "\n      " : ",\n      ";
            first = false;
            out +=
                "{\"month\": \"" + monthText(m.year, m.month) + "\", " + jsonCounts(m.counts) + "}";
        }
        out += "]}";
    }
    return out + "}";
}

std::string_view completenessCsvHeader() {
    return "known_due,known_not_yet_due,unknown_due,unknown_not_yet_due,unknown_no_date,"
           "known_share_of_due";
}

std::string completenessCsvCells(const std::optional<Completeness>& completeness, Outcome outcome) {
    if (!completeness)
        return ",,,,,";
    return csvCounts(completeness->outcomes[outcome == Outcome::Morbidity ? 0 : 1].overall);
}

std::string formatOutstanding(const AuditData& data, const std::vector<OutstandingEpisode>& list,
                              const FollowUpOptions& options, ReportFormat format) {
    std::uint64_t due = 0, noDate = 0, notYetDue = 0, barred = 0;
    for (const OutstandingEpisode& o : list) {
        due += o.state == FollowUpState::Due;
        noDate += o.state == FollowUpState::NoDate;
        notYetDue += o.state == FollowUpState::NotYetDue;
        barred += !o.canFollowUp();
    }
    std::string out;
    switch (format) {
    case ReportFormat::Json: {
        out = "{\n  \"today\": \"" + isoDate(options.today) +
              "\", \"due_days\": " + std::to_string(options.dueDays) +
              ",\n  \"outstanding\": " + count(list.size()) + ", \"due\": " + count(due) +
              ", \"no_readable_date\": " + count(noDate) +
              ", \"not_yet_due\": " + count(notYetDue) +
              ", \"cannot_follow_up\": " + count(barred) + ",\n  \"episodes\": [";
        bool first = true;
        for (const OutstandingEpisode& o : list) {
            const Episode& e = data.episodes()[o.episode];
            // Without the 29 fields (a line read from the right) the identity
            // is given only as written, and nothing claims to be its fields.
            const std::optional<LeadingFields> f = followUpFields(data, o.episode);
            const bool hashed = f && isHashedIdentity(*f);
            const auto cell = [](const std::optional<LeadingFields>& fields, std::size_t i) {
                return fields ? jsonString(utf8FromCp1252((*fields)[i])) : std::string("null");
            };
            out += first ? "\n" : ",\n";
            first = false;
            out += "    {\"state\": " + jsonString(followUpStateText(o.state)) +
                   ", \"days_since\": " +
                   (o.daysSince ? std::to_string(*o.daysSince) : std::string("null")) +
                   ", \"date\": " + jsonString(utf8FromCp1252(data.dateText(o.episode))) +
                   ", \"name\": " + (hashed ? "null" : cell(f, 0)) + ", \"id\": " + cell(f, 1) +
                   ", \"dob\": " + cell(f, 2) +
                   ", \"hashed_identifier\": " + (hashed ? jsonString((*f)[0]) : "null");
            if (const std::optional<std::string> written = identityAsWritten(data, o.episode))
                out += ", \"identity_as_written\": " + jsonString(utf8FromCp1252(*written));
            out += ", \"phys_total\": " + std::to_string(e.physiologicalScore) +
                   ", \"op_total\": " + std::to_string(e.operativeScore) +
                   ", \"p_possum_mortality\": " + shortestText(pPossum(e)) +
                   ", \"morbidity\": " + (e.morbidity < 0 ? "null" : std::to_string(e.morbidity)) +
                   ", \"mortality\": " + (e.mortality < 0 ? "null" : std::to_string(e.mortality)) +
                   ", \"can_follow_up\": " + (o.canFollowUp() ? "true" : "false");
            if (!o.canFollowUp())
                out += ", \"why_not\": " + jsonString(followUpBarText(o.bar));
            out += ", \"file\": " + jsonString(data.files()[e.file].path) +
                   ", \"line\": " + std::to_string(e.line) + ", \"leading_fields\": ";
            if (f) {
                out += "[";
                for (std::size_t i = 0; i < f->size(); ++i)
                    out += (i ? ", " : "") + jsonString(utf8FromCp1252((*f)[i]));
                out += "]}";
            } else {
                out += "null}";
            }
        }
        out += "\n  ]\n}\n";
        return out;
    }
    case ReportFormat::Csv: {
        out = "state,days_since,date,name,id,dob,hashed_identifier,phys_total,op_total,"
              "p_possum_mortality,morbidity,mortality,can_follow_up,why_not,file,line\r\n";
        for (const OutstandingEpisode& o : list) {
            const Episode& e = data.episodes()[o.episode];
            const LeadingFields f = followUpFields(data, o.episode).value_or(LeadingFields{});
            const bool hashed = isHashedIdentity(f);
            out += std::string(followUpStateText(o.state)) + "," +
                   (o.daysSince ? std::to_string(*o.daysSince) : std::string()) + "," +
                   spreadsheetTextCell(utf8FromCp1252(data.dateText(o.episode))) + "," +
                   (hashed ? std::string() : spreadsheetTextCell(utf8FromCp1252(f[0]))) + "," +
                   spreadsheetTextCell(utf8FromCp1252(f[1])) + "," +
                   spreadsheetTextCell(utf8FromCp1252(f[2])) + "," +
                   (hashed ? spreadsheetTextCell(f[0]) : std::string()) + "," +
                   std::to_string(e.physiologicalScore) + "," + std::to_string(e.operativeScore) +
                   "," + shortestText(pPossum(e)) + "," +
                   (e.morbidity < 0 ? std::string() : std::to_string(e.morbidity)) + "," +
                   (e.mortality < 0 ? std::string() : std::to_string(e.mortality)) + "," +
                   (o.canFollowUp() ? "yes" : "no") + "," + quoteCsvField(followUpBarText(o.bar)) +
                   "," + spreadsheetTextCell(wellFormedUtf8(data.files()[e.file].path)) + "," +
                   std::to_string(e.line) + "\r\n";
        }
        return out;
    }
    case ReportFormat::Text:
        break;
    }
    out = "Outcomes to complete on " + isoDate(options.today) + " (due " +
          std::to_string(options.dueDays) + " days after the procedure)\n\n";
    std::string summary = count(list.size()) + " episodes without a known outcome: " + count(due) +
                          " due, " + count(noDate) + " without a readable date, " +
                          count(notYetDue) + " not yet due.";
    if (barred > 0)
        summary += " " + count(barred) +
                   " of them cannot be followed up: no later record can be matched to them.";
    out += wrapped(summary);
    out += "\n";
    if (list.empty())
        return out;
    // Two lines an episode, each within 80 columns: when and who, then the
    // scores, the risk, the outcomes as recorded and where the record is.
    for (const OutstandingEpisode& o : list) {
        const Episode& e = data.episodes()[o.episode];
        std::string when(followUpStateText(o.state));
        if (o.daysSince)
            when += ", " + std::to_string(*o.daysSince) + " days";
        if (!o.canFollowUp())
            when += ", cannot be followed up";
        out += wrapped(when + ": " + shown(data.dateText(o.episode)) + "  " +
                       identityText(data, o.episode));
        out += wrapped("PS " + std::to_string(e.physiologicalScore) + ", OS " +
                           std::to_string(e.operativeScore) + ", P-POSSUM " +
                           fixedText(pPossum(e) * 100, 2) + "%, morb/mort " +
                           outcomeCell(e.morbidity) + "/" + outcomeCell(e.mortality) + ", " +
                           shownPath(data.files()[e.file].path) + ":" + std::to_string(e.line),
                       6);
    }
    return out;
}

} // namespace caldrin::audit
