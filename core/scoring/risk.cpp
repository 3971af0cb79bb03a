// SPDX-License-Identifier: GPL-3.0-or-later
#include "scoring/risk.h"

#include "scoring/padding.h"

#include "riskmodels/riskmodels.h"

#include <charconv>
#include <cmath>

namespace caldrin {

namespace {

constexpr std::size_t kRiskTextWidth = 7;

} // namespace

double ComputeRisk(RiskKind kind, std::uint8_t ps, std::uint8_t os) {
    // The stored risk kinds are the first models of the table, in the same order.
    const auto& model = riskmodels::model(riskmodels::ModelId(static_cast<std::size_t>(kind)));
    return riskmodels::riskFromScores(model, ps, os);
}

std::string FormatRiskPercent(double risk, char decimalSeparator) {
    // std::to_chars never consults the C library's locale, so the only
    // separator in the text is the one the caller passes.
    char digits[32];
    const auto [end, error] =
        std::to_chars(digits, digits + sizeof digits, risk * 100.0, std::chars_format::fixed, 2);
    std::string text = error == std::errc() ? std::string(digits, end) : std::string("?");
    if (const auto point = text.find('.'); point != std::string::npos)
        text[point] = decimalSeparator;
    text += '%';
    return leftPad(text, kRiskTextWidth);
}

} // namespace caldrin
