// SPDX-License-Identifier: GPL-3.0-or-later
#include "audit/auditanalysis.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string>

namespace caldrin::audit {

namespace {

constexpr riskmodels::ModelId kEntries[kModelCount] = {
    riskmodels::ModelId::PossumMorbidity,
    riskmodels::ModelId::PossumMortality,
    riskmodels::ModelId::PPossum1996Mortality,
    riskmodels::ModelId::RaaaPossumMortality,
    riskmodels::ModelId::RaaaPossumPhysiologicalMortality,
    riskmodels::ModelId::VPossum2001Mortality,
    riskmodels::ModelId::VPossum2001PhysiologicalMortality,
    riskmodels::ModelId::PPossum1998Mortality,
};

// What --model called the ruptured-aneurysm risks before they were named for
// what they are.
struct OldName {
    std::string_view name;
    Model model;
};
constexpr OldName kOldNames[] = {
    {"v_possum", Model::RaaaPossumMortality},
    {"v_possum_mortality", Model::RaaaPossumMortality},
    {"v_possum_physiological", Model::RaaaPossumPhysiologicalMortality},
    {"v_possum_physiological_mortality", Model::RaaaPossumPhysiologicalMortality},
};

std::string folded(std::string_view name) {
    std::string text;
    for (const char c : name)
        text += c == '-' ? '_' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

} // namespace

const riskmodels::RiskModel& modelEntry(Model model) {
    return riskmodels::model(kEntries[static_cast<std::size_t>(model)]);
}

bool isStoredModel(Model model) {
    return static_cast<std::size_t>(model) < kStoredModelCount;
}

std::string_view modelKey(Model model) {
    return modelEntry(model).key;
}

std::string_view modelTitle(Model model) {
    return modelEntry(model).title;
}

std::optional<ModelChoice> modelFromName(std::string_view name) {
    const std::string wanted = folded(name);
    for (const Model model : kAllModels) {
        if (wanted == modelKey(model) || wanted == folded(modelEntry(model).shortName))
            return ModelChoice{model, false};
    }
    for (const OldName& old : kOldNames) {
        if (wanted == old.name)
            return ModelChoice{old.model, true};
    }
    return std::nullopt;
}

double Episode::risk(Model model) const {
    if (isStoredModel(model))
        return riskTenThousandths[static_cast<std::size_t>(model)] / 10000.0;
    return riskmodels::riskFromScores(modelEntry(model), physiologicalScore, operativeScore);
}

Outcome modelOutcome(Model model) {
    return model == Model::PossumMorbidity ? Outcome::Morbidity : Outcome::Mortality;
}

std::string_view outcomeKey(Outcome outcome) {
    return outcome == Outcome::Morbidity ? "morbidity" : "mortality";
}

namespace {

class DateScanner {
public:
    explicit DateScanner(std::string_view text)
        : text_(text) {}

    void skipSpaces() {
        while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t'))
            ++pos_;
    }

    bool number(int& value) {
        skipSpaces();
        const std::size_t start = pos_;
        value = 0;
        while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9') {
            if (pos_ - start >= 6)
                return false;
            value = value * 10 + (text_[pos_] - '0');
            ++pos_;
        }
        return pos_ > start;
    }

    char separator() {
        skipSpaces();
        if (pos_ < text_.size() && (text_[pos_] == '/' || text_[pos_] == '-' || text_[pos_] == '.'))
            return text_[pos_++];
        return 0;
    }

    bool atEnd() {
        skipSpaces();
        return pos_ == text_.size();
    }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
};

} // namespace

std::optional<Date> readProcedureDate(std::string_view text, DateOrder order, int currentYear) {
    DateScanner scan(text);
    int first = 0, second = 0, third = 0;
    if (!scan.number(first))
        return std::nullopt;
    const char mark = scan.separator();
    if (!mark || !scan.number(second) || scan.separator() != mark || !scan.number(third) ||
        !scan.atEnd())
        return std::nullopt;
    return dateFromNumbers(first, second, third, order, currentYear);
}

std::int32_t dayNumber(const Date& date) {
    std::int64_t year = date.year - (date.month <= 2 ? 1 : 0);
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const std::int64_t yearOfEra = year - era * 400;
    const std::int64_t dayOfYear =
        (153 * (date.month > 2 ? date.month - 3 : date.month + 9) + 2) / 5 + date.day - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return static_cast<std::int32_t>(era * 146097 + dayOfEra - 719468);
}

std::string isoDate(const Date& date) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", date.year % 10000, date.month % 100,
                  date.day % 100);
    return text;
}

Date dateFromDayNumber(std::int32_t days) {
    const std::int64_t z = static_cast<std::int64_t>(days) + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t dayOfEra = z - era * 146097;
    const std::int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t mp = (5 * dayOfYear + 2) / 153;
    const int day = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
    const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    const int year = static_cast<int>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
    return {year, month, day};
}

} // namespace caldrin::audit
