// SPDX-License-Identifier: GPL-3.0-or-later
#include "entry/pagelayout.h"

#include <algorithm>
#include <array>

namespace caldrin {

namespace {

using enum Page;

// In canonical factor order.
constexpr std::array<FactorPlace, kFactorCount> kPlaces{{
    {Physiological1, 9, 0}, // Age
    {Physiological2, 1, 0}, // Cardiac
    {Physiological2, 3, 2}, // Respiratory
    {Physiological1, 3, 1}, // SystolicBP
    {Physiological1, 1, 2}, // Pulse
    {Physiological1, 2, 3}, // GlasgowComaScale
    {Physiological1, 4, 4}, // Haemoglobin
    {Physiological1, 5, 5}, // WhiteCellCount
    {Physiological1, 6, 6}, // Urea
    {Physiological1, 7, 7}, // Sodium
    {Physiological1, 8, 8}, // Potassium
    {Physiological2, 2, 1}, // ECG
    {Operative, 1, 0},      // OperativeSeverity
    {Operative, 2, 1},      // MultipleProcedures
    {Operative, 3, 2},      // TotalBloodLoss
    {Operative, 4, 3},      // PeritonealSoiling
    {Operative, 5, 4},      // MalignancyPresent
    {Operative, 6, 5},      // ModeOfSurgery
}};

} // namespace

const FactorPlace& placeOf(Factor factor) {
    return kPlaces[indexOf(factor)];
}

std::vector<const FactorDef*> factorsInKeyboardOrder(Page page) {
    std::vector<const FactorDef*> onPage;
    for (const FactorDef& def : allFactors()) {
        if (placeOf(def.factor).page == page)
            onPage.push_back(&def);
    }
    std::ranges::sort(onPage, {},
                      [](const FactorDef* def) { return placeOf(def->factor).keyboardOrder; });
    return onPage;
}

} // namespace caldrin
