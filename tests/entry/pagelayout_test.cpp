// SPDX-License-Identifier: GPL-3.0-or-later
#include "entry/pagelayout.h"

#include <gtest/gtest.h>

#include <vector>

namespace caldrin {
namespace {

TEST(FactorTables, KeyboardOrderOfEachPage) {
    auto factorsOf = [](Page page) {
        std::vector<Factor> order;
        for (const FactorDef* def : factorsInKeyboardOrder(page))
            order.push_back(def->factor);
        return order;
    };
    using enum Factor;
    EXPECT_EQ(factorsOf(Page::Physiological1),
              (std::vector{Age, SystolicBP, Pulse, GlasgowComaScale, Haemoglobin, WhiteCellCount,
                           Urea, Sodium, Potassium}));
    EXPECT_EQ(factorsOf(Page::Physiological2), (std::vector{Cardiac, ECG, Respiratory}));
    EXPECT_EQ(factorsOf(Page::Operative),
              (std::vector{OperativeSeverity, MultipleProcedures, TotalBloodLoss, PeritonealSoiling,
                           MalignancyPresent, ModeOfSurgery}));
}

} // namespace
} // namespace caldrin
