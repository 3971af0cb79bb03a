// SPDX-License-Identifier: GPL-3.0-or-later
#include "scoring/factors.h"

#include <algorithm>
#include <cassert>

namespace caldrin {

namespace {

using enum Factor;
using enum Scale;

// One factor to a row, its options below it.
// clang-format off
std::array<FactorDef, kFactorCount> buildFactors() {
    return {{
        {Age, "Age", "Age ( years )", Doubling, {"<= 60 ", "61-70", ">= 71"}},
        {Cardiac, "Cardiac", "Cardiac Signs", Doubling,
         {"No failure", "Diuretic, digoxin, antianginal therapy, or hypotensive therapy",
          "Peripheral oedema, warfarin therapy, CXR borderline cardiomegaly",
          "Raised JVP, CXR cardiomegaly"}},
        {Respiratory, "Respiratory", "Respiratory History", Doubling,
         {"No dyspnoea", "Dyspnoea on exertion. CXR mild COAD",
          "Limiting dyspnoea ( one flight ). CXR moderate COAD",
          "Dyspnoea at rest ( rate >= 30 /min ). CXR fibrosis or consolidation"}},
        {SystolicBP, "Systolic BP", "Systolic BP ( mmHg )", Doubling,
         {"110 -130", "130 - 170, 100 - 109", ">= 171, 90 - 99", "<= 89 "}},
        {Pulse, "Pulse", "Pulse ( /min )", Doubling,
         {"50 - 80", "81 - 100, 40 - 49", "101 - 120", ">= 121, <=39"}},
        {GlasgowComaScale, "Glasgow Coma Scale", "Glasgow Coma Scale", Doubling,
         {"15", "12 - 14", "9 - 11 ", "<= 8 "}},
        {Haemoglobin, "Haemoglobin", "Haemoglobin ( g / dl )", Doubling,
         {"13 - 16", "11.5 - 12.9, 16.1 - 17.0", "10.0 - 11.4, 17.1 - 18.0", ">= 18.1, <= 9.9"}},
        {WhiteCellCount, "White Cell Count", "White Cell Count ( / pl )", Doubling,
         {"4 - 10", "10.1 - 20.0, 3.1 - 4.0", ">= 20.1, <= 3.0"}},
        {Urea, "Urea", "Urea ( mmol / l )", Doubling,
         {"<= 7.5", "7.6 - 10.0", "10.1 - 15.0", ">= 15.1"}},
        {Sodium, "Sodium", "Sodium ( mmol/l )", Doubling,
         {">= 136", "131 - 135", "126 - 130", "<= 125"}},
        {Potassium, "Potassium", "Potassium ( mmol/l )", Doubling,
         {"3.5 - 5.0", "3.2 - 3.4, 5.1 - 5.3", "2.9 - 3.1, 5.4 - 5.9", "<= 2.8, >= 6.0"}},
        {ECG, "ECG", "Electrocardiogram", OneFourEight,
         {"Normal", "Atrial fibrillation ( rate 60 - 90 )",
          "Any other abnormal rhythm or >=5 extopics /min. Q waves or ST/T wave changes "}},
        {OperativeSeverity, "Operative severity", "Operative Severity", Doubling,
         {"Minor", "Moderate", "Major", "Major +"}},
        {MultipleProcedures, "Multiple procedures", "Multiple Procedures", OneFourEight,
         {"1", "2", "> 2"}},
        {TotalBloodLoss, "Total blood loss", "Total Blood Loss ( ml )", Doubling,
         {"<= 100", "101 - 500", "501 - 999", ">= 1000"}},
        {PeritonealSoiling, "Peritoneal soiling", "Peritoneal Soiling", Doubling,
         {"None", "Minor ( serous fluid )", "Local pus", "Free bowel content, pus or blood"}},
        {MalignancyPresent, "Malignancy present", "Presence of malignancy", Doubling,
         {"None", "Primary only", "Nodal metastases", "Distant metastases"}},
        {ModeOfSurgery, "Mode of surgery", "Mode of Surgery", OneFourEight,
         {"Elective",
          "Emergency resuscitation of > 2 hours possible.  Operation < 24 hours from admission",
          "Emergency ( immediate surgery < 2 hours needed"}},
    }};
}
// clang-format on

} // namespace

const std::array<FactorDef, kFactorCount>& allFactors() {
    static const std::array<FactorDef, kFactorCount> factors = buildFactors();
    return factors;
}

const FactorDef& factorDef(Factor factor) {
    return allFactors()[indexOf(factor)];
}

std::span<const FactorDef> physiologicalFactors() {
    return std::span<const FactorDef>(allFactors()).first(kPhysiologicalFactorCount);
}

std::span<const FactorDef> operativeFactors() {
    return std::span<const FactorDef>(allFactors()).last(kOperativeFactorCount);
}

std::uint8_t pointsOf(const FactorDef& def, std::size_t position) {
    assert(position < def.options.size());
    static constexpr std::uint8_t doubling[] = {1, 2, 4, 8};
    static constexpr std::uint8_t oneFourEight[] = {1, 4, 8};
    return def.scale == Scale::Doubling ? doubling[position] : oneFourEight[position];
}

std::string pointsText(std::uint8_t points) {
    return points == 0 ? std::string() : std::to_string(points);
}

bool isComplete(std::span<const std::uint8_t> points) {
    return std::ranges::all_of(points, [](std::uint8_t p) { return p >= 1; });
}

std::uint8_t totalOf(std::span<const std::uint8_t> points) {
    std::uint8_t total = 0;
    for (std::uint8_t p : points)
        total = static_cast<std::uint8_t>(total + p);
    return total;
}

} // namespace caldrin
