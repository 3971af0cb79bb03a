// SPDX-License-Identifier: GPL-3.0-or-later
#include "patientview_core/riskwords.h"

#include <algorithm>
#include <cmath>

namespace caldrin::riskwords {

namespace {

constexpr std::string_view kPeople = "people with the same findings having this operation";

// Whole people, halves away from zero (never banker's rounding: 12.5 is 13).
int wholePeople(double count) {
    return static_cast<int>(std::floor(count + 0.5));
}

std::string percentText(double risk, int people) {
    return countText(wholePeople(risk * people));
}

} // namespace

std::optional<Frequency> naturalFrequency(double risk) {
    if (!(risk >= 0.0 && risk <= 1.0))
        return std::nullopt;
    Frequency f;
    // Under 1 in 100 on either side a picture of 100 would show nobody or
    // everybody: count in 1,000 people instead.
    f.people = std::min(risk, 1.0 - risk) < 0.01 ? 1000 : 100;
    const int counted = wholePeople(risk * f.people);
    f.fewerThanOne = counted < 1;
    f.moreThanAllButOne = counted > f.people - 1;
    f.withOutcome = std::clamp(counted, 1, f.people - 1);
    return f;
}

// "1,000": built forwards, as GCC 12 at -O3 takes insert() into the same
// string for an overlapping copy.
std::string countText(int count) {
    const std::string digits = std::to_string(count);
    std::string text;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            text.push_back(',');
        text.push_back(digits[i]);
    }
    return text;
}

OutcomeWords outcomeWords(const riskmodels::RiskModel& model) {
    if (model.predicts == riskmodels::Predicts::Morbidity)
        return {"have a complication within 30 days", "has a complication within 30 days"};
    if (model.outcome == "death in hospital")
        return {"die in hospital after the operation", "dies in hospital after the operation"};
    if (model.outcome == "death within 30 days")
        return {"die within 30 days", "dies within 30 days"};
    // A model added to the table with an outcome not yet put into plain
    // words keeps its own definition rather than a guessed one.
    const std::string own = "have the outcome \"" + std::string(model.outcome) + "\"";
    return {own, own};
}

std::optional<std::string> frequencySentence(const riskmodels::RiskModel& model, double risk) {
    const auto f = naturalFrequency(risk);
    if (!f)
        return std::nullopt;
    const OutcomeWords words = outcomeWords(model);
    std::string text = "Out of " + countText(f->people) + " " + std::string(kPeople) + ", ";
    if (f->fewerThanOne)
        return text + "fewer than 1 " + words.singular + ".";
    if (f->moreThanAllButOne)
        return text + "more than " + countText(f->people - 1) + " " + words.plural + ".";
    const int without = f->people - f->withOutcome;
    text += "about " + countText(f->withOutcome) + " " +
            (f->withOutcome == 1 ? words.singular : words.plural);
    text += " and about " + countText(without) + (without == 1 ? " does not." : " do not.");
    return text;
}

std::string hundredSentence(double risk) {
    if (!(risk >= 0.0 && risk <= 1.0))
        return {};
    if (risk < 0.01)
        return "That is fewer than 1 in 100.";
    if (risk > 0.99)
        return "That is more than 99 in 100.";
    return {};
}

std::optional<std::string> shortFrequency(double risk) {
    const auto f = naturalFrequency(risk);
    if (!f)
        return std::nullopt;
    const std::string in = " in " + countText(f->people);
    if (f->fewerThanOne)
        return "fewer than 1" + in;
    if (f->moreThanAllButOne)
        return "more than " + countText(f->people - 1) + in;
    return "about " + countText(f->withOutcome) + in;
}

std::string complicationMeaning() {
    return "A complication here means a problem such as bleeding, an infection of the wound, "
           "chest, urine or blood, a wound that opens, a leak where the bowel was joined, "
           "a blood clot, or the heart, lungs or kidneys not working well enough.";
}

std::string uncertaintySentence(const std::optional<Interval>& interval) {
    if (!interval)
        return "These figures are estimates for groups of patients like this one. "
               "No one can say what will happen to one person.";
    // Out of 100, in whole people, as the main sentence counts them.
    return "For people like this one, the true figure is likely to lie between about " +
           percentText(interval->lower, 100) + " and about " + percentText(interval->upper, 100) +
           " in 100.";
}

bool madeForGeneralSurgery(const riskmodels::RiskModel& model) {
    return model.population.find("general surgery") != std::string_view::npos;
}

std::string populationSentence(const riskmodels::RiskModel& model) {
    std::string text = "This figure was made for " + std::string(model.population) + ".";
    if (!madeForGeneralSurgery(model))
        text += " It does not fit other operations.";
    return text;
}

} // namespace caldrin::riskwords
