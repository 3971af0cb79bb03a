// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The analysis options both audit programs take on their command lines, read
// and bounded in one place, so that `caldrin-audit` and the window accept the
// same values and refuse the rest in the same words.

#include "audit/auditanalysis.h"

#include <cmath>
#include <string>
#include <string_view>
#include <vector>

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

// The in-control average run length a limit is computed for, in episodes.
// Outside this range a figure means nothing clinically.
inline constexpr double kSmallestArl = 10;
inline constexpr double kLargestArl = 1e6;
inline constexpr std::string_view kArlTakes = "a number of episodes from 10 to 1000000";

// The follow-up period after which an outcome is due, in whole days.
inline constexpr std::string_view kDueDaysTakes = "a whole number of days from 0 to 3650";

constexpr bool oddsRatioAllowed(double r) {
    return r >= kSmallestOddsRatio && r <= kLargestOddsRatio && r != 1;
}
constexpr bool limitAllowed(double h) {
    return h > 0 && h <= kLargestLimit;
}
constexpr bool arlAllowed(double n) {
    return n >= kSmallestArl && n <= kLargestArl;
}

// What the options chose.
struct AuditOptions {
    ReadOptions read;
    AnalysisOptions analysis;
    // The model of the command line's risk-band table.
    Model bandModel = Model::PPossumMortality;
    // Said once on standard error: an old model name, for example.
    std::vector<std::string> notes;
};

// Reads the options one by one as given, then checks what depends on more
// than one of them (dates are read in the date order, wherever it was given).
class AuditOptionReader {
public:
    // `currentYear` places two-digit years, as the files' dates are placed.
    explicit AuditOptionReader(int currentYear);

    // "--odds-ratio", "--limit", "--arl", "--date-order", "--from", "--to", "--model",
    // "--today", "--due-days".
    static bool takes(std::string_view name);

    // The reason in one line when `value` is refused ("--arl takes ..., not x").
    std::string set(std::string_view name, std::string_view value);
    // Reads the dates and checks their order; the reason when refused.
    std::string finish();

    const AuditOptions& options() const { return options_; }

private:
    AuditOptions options_;
    std::string from_;
    std::string to_;
    std::string today_;
};

} // namespace caldrin::audit
