// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "riskmodels/riskmodels.h"

#include <optional>
#include <string>

// A risk said the way a patient understands it best: as a number of people
// out of 100 (or 1,000) like them, in whole people, with a picture of as many
// icons. People read "12 in 100" more reliably than "12%", and a picture of
// 100 people helps those who find numbers hard.
namespace caldrin::riskwords {

// How many of the pictured people have the outcome. The rarer side is never
// drawn as nobody, nor the common side as everybody, for a risk between 0 and
// 1: a model never predicts certainty.
struct Frequency {
    int people = 100;    // 1000 when the rarer side is under 1 in 100
    int withOutcome = 0; // icons filled, 1 .. people - 1
    // The rarer side, counted in the picture as one, is in truth under one
    // person in `people`: the words then say "fewer than 1" or "more than".
    bool fewerThanOne = false;
    bool moreThanAllButOne = false;
};

// For a risk in [0, 1]; nullopt for anything else (not a number, out of range).
std::optional<Frequency> naturalFrequency(double risk);

// "12", "1,000".
std::string countText(int count);

// What happens to the people the model counts, in plain words, from the
// model's outcome: "die within 30 days", "have a complication within 30 days".
struct OutcomeWords {
    std::string plural;   // "die within 30 days"
    std::string singular; // "dies within 30 days"
};
OutcomeWords outcomeWords(const riskmodels::RiskModel& model);

// "Out of 100 people with the same findings having this operation, about 12
// die within 30 days and about 88 do not." nullopt where the risk cannot be
// said (see naturalFrequency).
std::optional<std::string> frequencySentence(const riskmodels::RiskModel& model, double risk);

// "That is fewer than 1 in 100." below 1%, "That is more than 99 in 100."
// above 99%, else empty: the 1,000 picture is then set against the usual 100.
std::string hundredSentence(double risk);

// "about 12 in 100", "about 4 in 1,000", "fewer than 1 in 1,000".
std::optional<std::string> shortFrequency(double risk);

// What a POSSUM complication is, in plain words.
std::string complicationMeaning();

// A figure with its interval, where one is known: a model updated on this
// unit's own audit carries one; the published equations do not.
struct Interval {
    double lower = 0;
    double upper = 0;
};

// "These figures are estimates for groups of patients ..." for a published
// figure; with an interval, where the figure for people like this patient is
// likely to lie.
std::string uncertaintySentence(const std::optional<Interval>& interval);

// "Made for patients having repair of a ruptured abdominal aortic aneurysm.",
// and for a model made for other patients than general surgery, a warning
// that it should be used only for them.
std::string populationSentence(const riskmodels::RiskModel& model);
bool madeForGeneralSurgery(const riskmodels::RiskModel& model);

} // namespace caldrin::riskwords
