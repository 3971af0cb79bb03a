// SPDX-License-Identifier: GPL-3.0-or-later
#include "audit/options.h"

#include "audit/followup.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <optional>
#include <system_error>

namespace caldrin::audit {

namespace {

std::optional<double> readNumber(std::string_view text) {
    double value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size() ||
        !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::string refused(std::string_view name, std::string_view takes, std::string_view value) {
    std::string text(name);
    text.append(" takes ").append(takes).append(", not ").append(value);
    return text;
}

// An ISO date is always understood; anything else is read as the files' dates are.
std::optional<Date> typedDate(const std::string& text, DateOrder order, int currentYear) {
    if (text.size() == 10 && text[4] == '-' && text[7] == '-')
        if (const auto iso = readProcedureDate(text, DateOrder::YearMonthDay, currentYear))
            return iso;
    return readProcedureDate(text, order, currentYear);
}

} // namespace

AuditOptionReader::AuditOptionReader(int currentYear) {
    options_.read.currentYear = currentYear;
}

bool AuditOptionReader::takes(std::string_view name) {
    static constexpr std::string_view kNames[] = {"--odds-ratio", "--limit", "--arl",
                                                  "--date-order", "--from",  "--to",
                                                  "--model",      "--today", "--due-days"};
    return std::find(std::begin(kNames), std::end(kNames), name) != std::end(kNames);
}

std::string AuditOptionReader::set(std::string_view name, std::string_view value) {
    AnalysisOptions& analysis = options_.analysis;
    if (name == "--odds-ratio") {
        const auto r = readNumber(value);
        if (!r || !oddsRatioAllowed(*r))
            return refused(name, kOddsRatioTakes, value);
        analysis.oddsRatio = *r;
    } else if (name == "--limit") {
        const auto h = readNumber(value);
        if (!h || !limitAllowed(*h))
            return refused(name, kLimitTakes, value);
        analysis.limit = *h;
    } else if (name == "--arl") {
        const auto n = readNumber(value);
        if (!n || !arlAllowed(*n))
            return refused(name, kArlTakes, value);
        analysis.targetArl = *n;
    } else if (name == "--date-order") {
        std::string order(value);
        std::transform(order.begin(), order.end(), order.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (order == "dmy")
            options_.read.dateOrder = DateOrder::DayMonthYear;
        else if (order == "mdy")
            options_.read.dateOrder = DateOrder::MonthDayYear;
        else if (order == "ymd")
            options_.read.dateOrder = DateOrder::YearMonthDay;
        else
            return refused(name, "dmy, mdy or ymd", value);
    } else if (name == "--from") {
        from_ = value;
    } else if (name == "--to") {
        to_ = value;
    } else if (name == "--today") {
        today_ = value;
    } else if (name == "--due-days") {
        const auto n = readNumber(value);
        if (!n || *n != std::floor(*n) || *n < 0 || *n > kLongestDueDays)
            return refused(name, kDueDaysTakes, value);
        analysis.dueDays = static_cast<int>(*n);
    } else if (name == "--model") {
        const auto choice = modelFromName(value);
        if (!choice)
            return "unknown model " + std::string(value);
        options_.bandModel = choice->model;
        if (choice->oldName) {
            const auto& chosen = modelEntry(choice->model);
            const auto& arterial = modelEntry(choice->model == Model::RaaaPossumMortality
                                                  ? Model::VPossum2001Mortality
                                                  : Model::VPossum2001PhysiologicalMortality);
            options_.notes.push_back(
                "--model " + std::string(value) + " now means " + std::string(chosen.title) +
                ", the ruptured-aneurysm equation of the " + std::string(chosen.storedColumn) +
                " column; the arterial-surgery " + std::string(arterial.title) + " is " +
                std::string(arterial.shortName));
        }
    } else {
        return "unknown option " + std::string(name);
    }
    return {};
}

std::string AuditOptionReader::finish() {
    AnalysisOptions& analysis = options_.analysis;
    for (const auto& [text, target] :
         {std::pair{&from_, &analysis.from}, std::pair{&to_, &analysis.to}}) {
        if (text->empty())
            continue;
        *target = typedDate(*text, options_.read.dateOrder, options_.read.currentYear);
        if (!*target)
            return *text + " is not a date";
    }
    if (!today_.empty()) {
        analysis.today = typedDate(today_, options_.read.dateOrder, options_.read.currentYear);
        if (!analysis.today)
            return today_ + " is not a date";
    }
    if (analysis.from && analysis.to && dayNumber(*analysis.from) > dayNumber(*analysis.to))
        return "--from is after --to";
    return {};
}

} // namespace caldrin::audit
