// SPDX-License-Identifier: GPL-3.0-or-later
#include "patientview_core/riskdrivers.h"

#include <algorithm>
#include <span>

namespace caldrin::riskdrivers {

namespace {

// Each factor in plain words, for a reading age of about 12: what it is at
// each grade above the lowest, and the condition of a what-if that takes it
// down to each grade below the highest. Grades whose option merges a high and
// a low value (blood pressure 90 to 99 or 171 and over) say both.
struct PlainFactor {
    Factor factor;
    bool canChange;
    std::array<std::string_view, 4> words;     // at position 1, 2, 3 (0 unused)
    std::array<std::string_view, 4> condition; // "if ... had been" position 0, 1, 2
};

// clang-format off
constexpr std::array<PlainFactor, kFactorCount> kPlainFactors = {{
    {Factor::Age, false,
     {"", "age 61 to 70", "age 71 or over", ""},
     {"", "", "", ""}},
    {Factor::Cardiac, true,
     {"", "medicine for the heart or blood pressure", "signs of strain on the heart",
      "signs of heart failure"},
     {"if there had been no heart trouble", "if the heart had needed medicine only",
      "if the signs of strain on the heart had been milder", ""}},
    {Factor::Respiratory, true,
     {"", "short of breath on effort", "short of breath after one flight of stairs",
      "short of breath at rest"},
     {"if breathing had been normal", "if breath had been short only on effort",
      "if breath had been short only after a flight of stairs", ""}},
    {Factor::SystolicBP, true,
     {"", "blood pressure a little high or low", "blood pressure high or low",
      "very low blood pressure"},
     {"if the blood pressure had been normal", "if the blood pressure had been only a little high or low",
      "if the blood pressure had been less low (90 to 99)", ""}},
    {Factor::Pulse, true,
     {"", "pulse a little fast or slow", "fast pulse", "very fast or very slow pulse"},
     {"if the pulse had been normal", "if the pulse had been only a little fast or slow",
      "if the pulse had been 101 to 120", ""}},
    {Factor::GlasgowComaScale, true,
     {"", "a little less alert than usual", "drowsy", "very drowsy or unconscious"},
     {"if the patient had been fully alert", "if the patient had been only a little less alert",
      "if the patient had been less drowsy", ""}},
    {Factor::Haemoglobin, true,
     {"", "blood count (haemoglobin) a little out of range", "blood count (haemoglobin) out of range",
      "blood count (haemoglobin) far out of range"},
     {"if the blood count had been normal", "if the blood count had been only a little out of range",
      "if the blood count had been less far out of range", ""}},
    {Factor::WhiteCellCount, true,
     {"", "white blood cells a little out of range", "white blood cells far out of range", ""},
     {"if the white blood cells had been normal",
      "if the white blood cells had been only a little out of range", "", ""}},
    {Factor::Urea, true,
     {"", "kidney blood test (urea) a little high", "kidney blood test (urea) high",
      "kidney blood test (urea) very high"},
     {"if the kidney blood test had been normal", "if the kidney blood test had been only a little high",
      "if the kidney blood test had been less high", ""}},
    {Factor::Sodium, true,
     {"", "salt in the blood (sodium) a little low", "salt in the blood (sodium) low",
      "salt in the blood (sodium) very low"},
     {"if the salt in the blood had been normal", "if the salt in the blood had been only a little low",
      "if the salt in the blood had been less low", ""}},
    {Factor::Potassium, true,
     {"", "potassium in the blood a little out of range", "potassium in the blood out of range",
      "potassium in the blood far out of range"},
     {"if the potassium had been normal", "if the potassium had been only a little out of range",
      "if the potassium had been less far out of range", ""}},
    {Factor::ECG, true,
     {"", "irregular heartbeat (atrial fibrillation)", "abnormal heart tracing (ECG)", ""},
     {"if the heart tracing had been normal",
      "if the heart tracing had shown only a steady irregular heartbeat", "", ""}},
    {Factor::OperativeSeverity, true,
     {"", "a moderate operation", "a major operation", "a very major operation"},
     {"if the operation had been minor", "if the operation had been moderate",
      "if the operation had been major but not very major", ""}},
    {Factor::MultipleProcedures, true,
     {"", "two operations at once", "more than two operations at once", ""},
     {"if there had been one operation", "if there had been two operations", "", ""}},
    {Factor::TotalBloodLoss, true,
     {"", "blood loss of 101 to 500 ml", "blood loss of 501 to 999 ml",
      "blood loss of 1 litre or more"},
     {"if the blood loss had been 100 ml or less", "if the blood loss had been 101 to 500 ml",
      "if the blood loss had been 501 to 999 ml", ""}},
    {Factor::PeritonealSoiling, true,
     {"", "some clear fluid in the belly", "pus in one part of the belly",
      "bowel content, pus or blood spread in the belly"},
     {"if the belly had been clean", "if there had been only clear fluid in the belly",
      "if the pus had been in one part of the belly only", ""}},
    {Factor::MalignancyPresent, false,
     {"", "cancer", "cancer that has spread to lymph glands", "cancer that has spread further"},
     {"", "", "", ""}},
    {Factor::ModeOfSurgery, true,
     {"", "emergency operation", "operation needed at once (within 2 hours)", ""},
     {"if the operation had been planned, not an emergency",
      "if there had been some hours to prepare for the operation", "", ""}},
}};
// clang-format on

const PlainFactor& plain(Factor factor) {
    return kPlainFactors[indexOf(factor)];
}

std::optional<std::size_t> positionOf(const FactorDef& def, std::uint8_t points) {
    for (std::size_t position = 0; position < def.options.size(); ++position)
        if (pointsOf(def, position) == points)
            return position;
    return std::nullopt;
}

bool isOperative(Factor factor) {
    return indexOf(factor) >= kPhysiologicalFactorCount;
}

} // namespace

std::string factorWords(Factor factor, std::size_t position) {
    return position < 4 ? std::string(plain(factor).words[position]) : std::string();
}

Drivers riskDrivers(const riskmodels::RiskModel& model,
                    const std::array<std::uint8_t, kFactorCount>& points,
                    std::uint8_t physiologicalScore, std::uint8_t operativeScore,
                    std::size_t count) {
    Drivers result;
    const std::span<const std::uint8_t> all(points);
    const auto physiological = all.first(kPhysiologicalFactorCount);
    const auto operative = all.subspan(kPhysiologicalFactorCount);
    const bool operativeNeeded = model.usesOperativeScore;
    if (!isComplete(physiological) || (operativeNeeded && !isComplete(operative)) ||
        totalOf(physiological) != physiologicalScore ||
        (operativeNeeded && totalOf(operative) != operativeScore)) {
        result.missingReason = "What drives this risk cannot be shown: the scores were not "
                               "graded factor by factor in this calculation.";
        return result;
    }

    for (const FactorDef& def : allFactors()) {
        const bool operativeFactor = isOperative(def.factor);
        const double coefficient = operativeFactor ? model.osCoefficient : model.psCoefficient;
        const std::uint8_t factorPoints = points[indexOf(def.factor)];
        const auto position = positionOf(def, factorPoints);
        if (!position || *position == 0 || coefficient <= 0.0)
            continue;
        Driver driver;
        driver.factor = def.factor;
        driver.words = factorWords(def.factor, *position);
        driver.logOddsAdded = (factorPoints - 1) * coefficient;
        driver.canChange = plain(def.factor).canChange;
        if (driver.canChange) {
            const int lower = pointsOf(def, *position - 1);
            const int change = lower - factorPoints;
            const double ps = physiologicalScore + (operativeFactor ? 0 : change);
            const double os = operativeScore + (operativeFactor ? change : 0);
            driver.whatIf = WhatIf{std::string(plain(def.factor).condition[*position - 1]),
                                   riskmodels::riskFromScores(model, ps, os)};
        }
        result.drivers.push_back(std::move(driver));
    }
    // Ties (two factors at 8 points share one coefficient) keep the
    // canonical order, so the same grading always names the same factors.
    std::stable_sort(
        result.drivers.begin(), result.drivers.end(),
        [](const Driver& a, const Driver& b) { return a.logOddsAdded > b.logOddsAdded; });
    if (result.drivers.size() > count)
        result.drivers.resize(count);
    return result;
}

} // namespace caldrin::riskdrivers
