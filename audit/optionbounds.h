#pragma once

// The ranges both audit programs accept for the CUSUM's settings, and how
// each says so. Outside them a figure means nothing clinically, or the
// simulation of a limit could not end in reasonable time.

#include <cmath>
#include <string_view>

namespace caldrin::audit {

// The odds ratio the CUSUM looks for: a hundredfold change either way is
// beyond any audit's question.
inline constexpr double kSmallestOddsRatio = 0.01;
inline constexpr double kLargestOddsRatio = 100;
inline constexpr std::string_view kOddsRatioTakes =
    "a number from 0.01 to 100 other than 1 (a hundredfold change in the odds is beyond any "
    "audit's question)";

// A control limit: those in use lie between about 2 and 10.
inline constexpr double kLargestLimit = 1000;
inline constexpr std::string_view kLimitTakes =
    "a number above 0 and at most 1000 (limits in use lie between about 2 and 10)";

// The in-control average run length a computed limit is simulated for, in episodes.
inline constexpr double kSmallestArl = 10;
inline constexpr double kLargestArl = 1e6;
inline constexpr std::string_view kArlTakes = "a number of episodes from 10 to 1000000";

constexpr bool oddsRatioAllowed(double r) {
    return r >= kSmallestOddsRatio && r <= kLargestOddsRatio && r != 1;
}
constexpr bool limitAllowed(double h) {
    return h > 0 && h <= kLargestLimit;
}
constexpr bool arlAllowed(double n) {
    return n >= kSmallestArl && n <= kLargestArl;
}

} // namespace caldrin::audit
