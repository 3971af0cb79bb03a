#include "scoring/risk.h"

#include "scoring/padding.h"

#include <charconv>
#include <cmath>

namespace caldrin {

namespace {

struct Equation {
    double intercept;
    double psCoefficient;
    double osCoefficient; // 0 where the equation ignores the operative score
};

// Indexed by RiskKind.
constexpr Equation kEquations[kRiskKindCount] = {
    {-7.04, 0.13, 0.16},       // POSSUM mortality
    {-5.91, 0.16, 0.19},       // POSSUM morbidity
    {-9.37, 0.19, 0.15},       // P-POSSUM mortality
    {-4.9795, 0.0913, 0.0958}, // V-POSSUM mortality
    {-2.7569, 0.0968, 0.0},    // V-POSSUM physiological mortality
};

constexpr std::size_t kRiskTextWidth = 7;

} // namespace

double ComputeRisk(RiskKind kind, std::uint8_t ps, std::uint8_t os) {
    const Equation& eq = kEquations[static_cast<std::size_t>(kind)];
    const double y = eq.intercept + eq.psCoefficient * ps + eq.osCoefficient * os;
    const double e = std::exp(y);
    return e / (e + 1.0);
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
    return LeftPad(text, kRiskTextWidth);
}

} // namespace caldrin
