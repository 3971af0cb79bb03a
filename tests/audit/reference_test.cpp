// SPDX-License-Identifier: GPL-3.0-or-later
// The analysis against an independent computation of the same figures in
// Python (csv, NumPy, SciPy, statsmodels) on a generated file.

#include "audit/auditanalysis.h"
#include "audit/funnel.h"
#include "auditgenerator.h"
#include "auditlines.h"
#include "pythonfigures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <sstream>

namespace caldrin::audit {
namespace {

namespace fs = std::filesystem;

std::map<std::string, double> reference(const std::string& path, double limit, double oddsRatio,
                                        const std::string& followUp = {}) {
    const std::string command =
        std::string(CALDRIN_REFERENCE_PYTHON) + " '" + CALDRIN_REFERENCE_SCRIPT + "' '" + path +
        "' " + std::to_string(limit) + " " + std::to_string(oddsRatio) + " " + followUp;
    return testing::pythonFigures(command);
}

TEST(AgainstPythonReference, EveryFigureAgrees) {
    const fs::path path =
        fs::temp_directory_path() /
        testing::cat("caldrin-audit-reference-", std::to_string(::getpid()), ".csv");
    testing::GeneratedAudit generated;
    generated.records = 20000;
    generated.seed = 17;
    generated.oddsMultiplier = 1.3;
    generated.repeatShare = 0.03;
    generated.unknownOutcomeShare = 0.02;
    ASSERT_TRUE(testing::writeAuditFile(path.string(), generated));

    AuditReader reader(ReadOptions{DateOrder::DayMonthYear, 2026});
    ASSERT_TRUE(reader.addFile(path.string()));
    const AuditData data = reader.finish();
    AnalysisOptions options;
    options.limit = 4.0;
    options.oddsRatio = 1.7;
    const AnalysisResult result = analyse(data, options);
    const auto ref = reference(path.string(), 4.0, 1.7);
    fs::remove(path);
    ASSERT_FALSE(ref.empty());

    EXPECT_EQ(data.mergedRecords(), ref.at("all merged"));
    EXPECT_EQ(result.episodes, ref.at("all episodes"));
    EXPECT_GT(data.mergedRecords(), 0u);
    auto near = [](double ours, double theirs, double tolerance) {
        return std::fabs(ours - theirs) <= tolerance * std::max(1.0, std::fabs(theirs));
    };
    for (const ModelResult& m : result.models) {
        const std::string key = std::string(modelKey(m.model)) + " ";
        auto check = [&](const char* name, double ours, double tolerance = 1e-9) {
            EXPECT_TRUE(near(ours, ref.at(key + name), tolerance))
                << key << name << ": ours " << ours << ", reference " << ref.at(key + name);
        };
        check("n", static_cast<double>(m.overall.n));
        check("observed", static_cast<double>(m.overall.observed));
        check("expected", m.overall.expected);
        check("oe", *m.overall.ratio);
        check("oe_lower", m.overall.interval->lower);
        check("oe_upper", m.overall.interval->upper);
        for (int k = 0; k < 10; ++k) {
            const std::string band = testing::cat("band", std::to_string(k), "_");
            check((band + "n").c_str(), static_cast<double>(m.bands[k].figures.n));
            check((band + "observed").c_str(), static_cast<double>(m.bands[k].figures.observed));
            check((band + "expected").c_str(), m.bands[k].figures.expected);
            if (m.bands[k].figures.n > 0) {
                check((band + "rate_lower").c_str(), m.bands[k].figures.rateInterval->lower);
                check((band + "rate_upper").c_str(), m.bands[k].figures.rateInterval->upper);
            }
        }
        check("auroc_mann_whitney", *m.discrimination.auroc);
        check("auroc", *m.discrimination.auroc);
        check("auroc_se", *m.discrimination.standardError);
        check("hl_chi2", *m.hosmerLemeshow.chiSquare, 1e-8);
        check("hl_p", *m.hosmerLemeshow.pValue, 1e-8);
        check("intercept", *m.calibration.intercept, 1e-7);
        check("slope", *m.calibration.slope, 1e-7);
        check("intercept_lower", m.calibration.interceptInterval->lower, 1e-6);
        check("intercept_upper", m.calibration.interceptInterval->upper, 1e-6);
        check("slope_lower", m.calibration.slopeInterval->lower, 1e-6);
        check("slope_upper", m.calibration.slopeInterval->upper, 1e-6);
        check("in_the_large", *m.calibration.inTheLarge, 1e-7);
        check("in_the_large_lower", m.calibration.inTheLargeInterval->lower, 1e-6);
        check("in_the_large_upper", m.calibration.inTheLargeInterval->upper, 1e-6);
        const CalibrationCurve& curve = m.calibrationCurve;
        ASSERT_TRUE(curve.ici) << key << curve.missing;
        check("knots", static_cast<double>(curve.knots.size()));
        for (std::size_t j = 0; j < curve.knots.size(); ++j)
            check(testing::cat("knot", std::to_string(j)).c_str(), curve.knots[j]);
        for (const int i : {0, 17, 49}) {
            const std::string point = testing::cat("curve", std::to_string(i), "_");
            check((point + "p").c_str(), curve.points[i].p, 1e-9);
            check((point + "observed").c_str(), curve.points[i].observed, 1e-6);
            check((point + "lower").c_str(), curve.points[i].lower, 1e-6);
            check((point + "upper").c_str(), curve.points[i].upper, 1e-6);
        }
        check("ici", *curve.ici, 1e-6);
        check("e50", *curve.e50, 1e-6);
        check("e90", *curve.e90, 1e-6);
        check("emax", *curve.emax, 1e-6);
        check("improvement_signals", static_cast<double>(m.improvement.signals.size()));
        if (!m.improvement.signals.empty()) {
            check("improvement_first_signal",
                  static_cast<double>(m.improvement.signals.front().position));
        }
        check("few_events", m.fewEvents ? 1.0 : 0.0);
        check("brier", *m.brier);
        check("vlad", m.vlad);
        check("signals", static_cast<double>(m.cusum.signals.size()));
        if (m.model == Model::PPossumMortality) { // the generator's outcomes run above it
            EXPECT_GT(m.cusum.signals.size(), 0u);
        }
        if (!m.cusum.signals.empty()) {
            check("first_signal", static_cast<double>(m.cusum.signals.front().position));
            check("last_signal", static_cast<double>(m.cusum.signals.back().position));
        }
    }
    // Every pair of mortality models, against the placements computed from
    // their definition.
    EXPECT_EQ(result.aurocComparisons.size(), 21u);
    for (const AurocComparison& c : result.aurocComparisons) {
        const std::string key = testing::cat(modelKey(c.first), ":", modelKey(c.second), " ");
        EXPECT_TRUE(near(*c.difference, ref.at(key + "difference"), 1e-9)) << key;
        // Two models of the physiological score alone rank the episodes
        // alike: no spread, no test (the reference divides 0 by 0).
        if (std::isnan(ref.at(key + "z"))) {
            EXPECT_FALSE(c.z) << key;
            EXPECT_FALSE(c.missing.empty());
            continue;
        }
        ASSERT_TRUE(c.z) << key << c.missing;
        EXPECT_TRUE(near(*c.z, ref.at(key + "z"), 1e-6)) << key << *c.z;
        EXPECT_TRUE(near(*c.p, ref.at(key + "p"), 1e-6)) << key << *c.p;
        EXPECT_NEAR(c.interval->upper - *c.difference, 1.959963984540054 * *c.difference / *c.z,
                    1e-12);
    }
}

// The funnel plot's limits against SciPy's Poisson distribution.
TEST(AgainstPythonReference, FunnelLimitsAgreeWithScipy) {
    std::FILE* pipe = ::popen(
        (std::string(CALDRIN_REFERENCE_PYTHON) + " '" + CALDRIN_REFERENCE_SCRIPT + "' --funnel")
            .c_str(),
        "r");
    ASSERT_TRUE(pipe);
    char word[32];
    double expected = 0, probability = 0, limit = 0;
    int rows = 0;
    while (std::fscanf(pipe, "%31s %lf %lf %lf", word, &expected, &probability, &limit) == 4) {
        EXPECT_NEAR(funnelLimit(expected, probability), std::max(0.0, limit), 1e-9)
            << "E " << expected << " P " << probability;
        ++rows;
    }
    EXPECT_EQ(::pclose(pipe), 0);
    EXPECT_EQ(rows, 16);
}

// Known, due and not yet due per outcome and month, on a fixed day that
// leaves the last weeks of the file not yet due.
TEST(AgainstPythonReference, CompletenessAgrees) {
    const fs::path path =
        fs::temp_directory_path() /
        testing::cat("caldrin-audit-completeness-", std::to_string(::getpid()), ".csv");
    testing::GeneratedAudit generated;
    generated.records = 5000;
    generated.seed = 29;
    generated.repeatShare = 0.05;
    generated.unknownOutcomeShare = 0.1;
    ASSERT_TRUE(testing::writeAuditFile(path.string(), generated));
    AuditReader reader(ReadOptions{DateOrder::DayMonthYear, 2026});
    ASSERT_TRUE(reader.addFile(path.string()));
    const AuditData data = reader.finish();
    AnalysisOptions options;
    options.models = {};
    options.today = Date{2023, 12, 20};
    options.dueDays = 45;
    const Completeness completeness = *analyse(data, options).completeness;
    const auto ref = reference(path.string(), 4.0, 1.7, "2023-12-20 45");
    fs::remove(path);
    auto theirs = [&](const std::string& key) {
        const auto found = ref.find(key);
        return found == ref.end() ? 0.0 : found->second;
    };
    for (const OutcomeCompleteness& outcome : completeness.outcomes) {
        const std::string key = testing::cat("completeness_", outcomeKey(outcome.outcome), " ");
        auto check = [&](const std::string& scope, const CompletenessCounts& c) {
            EXPECT_EQ(c.knownDue, theirs(key + scope + "known_due")) << key << scope;
            EXPECT_EQ(c.knownNotDue, theirs(key + scope + "known_not_yet_due")) << key << scope;
            EXPECT_EQ(c.unknownDue, theirs(key + scope + "unknown_due")) << key << scope;
            EXPECT_EQ(c.unknownNotDue, theirs(key + scope + "unknown_not_yet_due")) << key << scope;
        };
        check("", outcome.overall);
        EXPECT_GT(outcome.overall.unknownDue, 0u);
        EXPECT_GT(outcome.overall.unknownNotDue, 0u);
        EXPECT_EQ(outcome.byMonth.size(), 36u);
        for (const MonthCompleteness& m : outcome.byMonth) {
            char month[16];
            std::snprintf(month, sizeof month, "%04d-%02d_", m.year, m.month);
            check(month, m.counts);
        }
    }
}

} // namespace
} // namespace caldrin::audit
