// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "scoring/factors.h"

#include <cstdint>
#include <vector>

namespace caldrin {

// The dialog window that shows a factor.
enum class Page : std::uint8_t { Physiological1, Physiological2, Operative };

// Where a factor sits in the score dialogs.
struct FactorPlace {
    Page page;
    int groupNumber;   // n of RadioGroupN / EditN on its page
    int keyboardOrder; // position among the groups of its page
};

const FactorPlace& placeOf(Factor factor);

// The factors of one dialog page in keyboard order.
std::vector<const FactorDef*> factorsInKeyboardOrder(Page page);

} // namespace caldrin
