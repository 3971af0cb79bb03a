// SPDX-License-Identifier: GPL-3.0-or-later
#include "audit/auditanalysis.h"
#include "audit/auditreport.h"
#include "audit/statistics.h"
#include "auditgenerator.h"
#include "auditlines.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>

namespace caldrin::audit {
namespace {

using testing::line;
using testing::Row;

AuditData read(const std::string& text) {
    AuditReader reader(ReadOptions{DateOrder::DayMonthYear, 2026});
    reader.addText("audit.csv", text);
    return reader.finish();
}

// P-POSSUM risk and died answer, one episode per day from 1 January 2024.
std::string episodes(const std::vector<std::pair<std::string, std::string>>& riskAndDied,
                     int firstDay = 1) {
    std::string text;
    int day = firstDay;
    for (const auto& [risk, died] : riskAndDied) {
        Row row{.name = testing::cat("P", std::to_string(day))};
        row.date = std::to_string(day) + "/01/2024";
        row.risks[2] = risk;
        row.mortality = died;
        text += line(row);
        ++day;
    }
    return text;
}

const ModelResult& model(const AnalysisResult& result, Model which) {
    for (const ModelResult& m : result.models)
        if (m.model == which)
            return m;
    throw std::logic_error("model not analysed");
}

AnalysisOptions givenLimit(double limit) {
    AnalysisOptions options;
    options.limit = limit;
    return options;
}

// Worked on paper: E = 5.0, O = 5, pairs ranked right 20.5 of 25, Brier 1.70 / 10.
TEST(Analysis, TenEpisodesWorkedByHand) {
    const AuditData data = read(episodes({{"0.1000", "0"},
                                          {"0.2000", "0"},
                                          {"0.3000", "1"},
                                          {"0.4000", "0"},
                                          {"0.5000", "1"},
                                          {"0.6000", "0"},
                                          {"0.7000", "1"},
                                          {"0.8000", "1"},
                                          {"0.9000", "1"},
                                          {"0.5000", "0"}}));
    const AnalysisResult result = analyse(data, givenLimit(4.5));
    const ModelResult& m = model(result, Model::PPossumMortality);
    EXPECT_EQ(m.overall.n, 10u);
    EXPECT_EQ(m.overall.observed, 5u);
    EXPECT_DOUBLE_EQ(m.overall.expected, 5.0);
    EXPECT_DOUBLE_EQ(*m.overall.ratio, 1.0);
    EXPECT_NEAR(m.overall.interval->lower, 1.623 / 5, 1e-3); // exact Poisson limits for 5
    EXPECT_NEAR(m.overall.interval->upper, 11.668 / 5, 1e-3);
    EXPECT_TRUE(m.overall.unreliable == false);
    EXPECT_DOUBLE_EQ(*m.discrimination.auroc, 0.82);
    EXPECT_TRUE(m.discrimination.unreliable == false);
    EXPECT_NEAR(*m.brier, 0.17, 1e-12);
    EXPECT_NEAR(m.vlad, 0.0, 1e-12);

    // Bands: 0.1 is the top of band 0; the two 0.5s share band 4; band 9 is empty.
    EXPECT_EQ(m.bands[0].figures.n, 1u);
    EXPECT_EQ(m.bands[4].figures.n, 2u);
    EXPECT_EQ(m.bands[4].figures.observed, 1u);
    EXPECT_DOUBLE_EQ(m.bands[4].figures.expected, 1.0);
    EXPECT_EQ(m.bands[8].figures.n, 1u);
    EXPECT_EQ(m.bands[9].figures.n, 0u);
    EXPECT_FALSE(m.bands[9].figures.ratio);
    EXPECT_TRUE(m.bands[4].figures.unreliable);

    // Hosmer-Lemeshow with one episode a group: ties at 0.5 in time order, so
    // the event (5 January) ranks before the non-event (10 January).
    EXPECT_EQ(m.hosmerLemeshow.groups[4].observed, 1u);
    EXPECT_EQ(m.hosmerLemeshow.groups[5].observed, 0u);
    EXPECT_TRUE(m.hosmerLemeshow.unreliable);
}

TEST(Analysis, BandEdgesFollowTheRiskAsWritten) {
    const AuditData data = read(episodes({{"0.0000", "0"},
                                          {"0.1000", "0"},
                                          {"0.1001", "0"},
                                          {"0.9000", "1"},
                                          {"0.9001", "1"},
                                          {"1.0000", "1"}}));
    const AnalysisResult result = analyse(data, givenLimit(4.5));
    const ModelResult& m = model(result, Model::PPossumMortality);
    const std::uint64_t expected[10] = {2, 1, 0, 0, 0, 0, 0, 0, 1, 2};
    for (int k = 0; k < 10; ++k)
        EXPECT_EQ(m.bands[k].figures.n, expected[k]) << k;
    EXPECT_FALSE(m.bands[2].figures.ratio);
    EXPECT_DOUBLE_EQ(m.bands[9].from, 0.9);
}

// The CUSUM path on paper, R = 2, limit 1: weights log(2 / (1 + p)) for a
// death, -log(1 + p) for a survivor. Records are out of date order in the
// file; the undated one comes last.
TEST(Analysis, CusumAndVladFollowTimeOrder) {
    auto row = [](std::string date, std::string risk, std::string died) {
        Row r{.name = testing::cat("N", date), .date = date};
        r.risks[2] = risk;
        r.mortality = died;
        return line(r);
    };
    const std::string text = row("03/01/2024", "0.1000", "0") + row("01/01/2024", "0.2000", "1") +
                             row("not known", "0.5000", "1") + row("02/01/2024", "0.5000", "1") +
                             row("04/01/2024", "0.5000", "1") + row("07/01/2024", "0.1000", "1") +
                             row("05/01/2024", "0.2500", "1") + row("06/01/2024", "0.5000", "0");
    const AuditData data = read(text);
    EXPECT_EQ(data.unparseableDates(), 1u);
    AnalysisOptions options = givenLimit(1.0);
    options.maxSeriesPoints = 100;
    const AnalysisResult result = analyse(data, options);
    const ModelResult& m = model(result, Model::PPossumMortality);
    const double path[] = {0.510826, 0.798508, 0.703198, 0.990880,
                           1.460883, 0.0,      0.597837, 0.885519};
    ASSERT_EQ(m.series.size(), 8u);
    for (std::size_t i = 0; i < 8; ++i) {
        EXPECT_NEAR(m.series[i].cusum, path[i], 1e-6) << i;
        EXPECT_EQ(m.series[i].position, i + 1);
        EXPECT_EQ(m.series[i].signal, i == 4);
    }
    ASSERT_EQ(m.cusum.signals.size(), 1u);
    EXPECT_EQ(m.cusum.signals[0].position, 5u);
    EXPECT_EQ(m.cusum.signals[0].date, "05/01/2024");
    EXPECT_NEAR(m.cusum.finalValue, 0.885519, 1e-6);
    // VLAD: expected minus observed, cumulative: 0.2 - 1 = -0.8 after the first.
    EXPECT_NEAR(m.series[0].vlad, -0.8, 1e-12);
    EXPECT_NEAR(m.vlad, 2.65 - 6, 1e-12);
    EXPECT_EQ(m.series[7].day, Episode::kNoDay);
    EXPECT_EQ(m.series[6].day, dayNumber(Date{2024, 1, 7}));
    EXPECT_EQ(m.undated, 1u);
}

// Time order is by date, episodes of one day in file order, the undated
// last: the same whether the dates lie within days of each other or
// centuries apart (a counting sort by day, or a comparison sort).
TEST(Analysis, TimeOrderKeepsFileOrderWithinADay) {
    const std::array<std::array<std::string, 5>, 2> datings = {{
        {"03/01/2024", "01/01/2024", "not known", "01/01/2024", "02/01/2024"},
        {"03/01/2300", "01/01/1900", "not known", "01/01/1900", "02/01/2000"},
    }};
    for (const auto& dates : datings) {
        std::string text;
        for (std::size_t i = 0; i < dates.size(); ++i) {
            Row row{.name = testing::cat("N", std::to_string(i)), .date = dates[i]};
            row.risks[2] = testing::cat("0.000", std::to_string(i + 1));
            text += line(row);
        }
        EXPECT_EQ(predictedRisks(read(text), AnalysisOptions{}, Model::PPossumMortality),
                  (std::vector<double>{0.0002, 0.0004, 0.0005, 0.0001, 0.0003}))
            << dates[0];
    }
}

TEST(Analysis, ExclusionsCountUnknownOutcomeFirst) {
    std::string text;
    text += line(Row{.name = "a", .mortality = ""});
    text += line(Row{.name = "b", .mortality = "2"});
    text += line(Row{.name = "c", .ps = 0, .mortality = "x"});
    text += line(Row{.name = "d", .ps = 0});
    text += line(Row{.name = "e", .os = 0, .morbidity = ""});
    text += line(Row{.name = "f", .mortality = " 1 "});
    const AnalysisResult result = analyse(read(text), givenLimit(4.5));
    const ModelResult& mortality = model(result, Model::PossumMortality);
    EXPECT_EQ(mortality.excludedUnknownOutcome, 3u);
    EXPECT_EQ(mortality.excludedNotScored, 2u);
    EXPECT_EQ(mortality.overall.n, 1u);
    EXPECT_EQ(mortality.overall.observed, 1u);
    const ModelResult& morbidity = model(result, Model::PossumMorbidity);
    EXPECT_EQ(morbidity.excludedUnknownOutcome, 1u);
    EXPECT_EQ(morbidity.excludedNotScored, 2u);
    EXPECT_EQ(morbidity.overall.n, 3u);
    // The computed models leave out the same episodes as the stored ones.
    for (const Model computed :
         {Model::VPossum2001Mortality, Model::VPossum2001PhysiologicalMortality,
          Model::PPossum1998Mortality}) {
        const ModelResult& m = model(result, computed);
        EXPECT_EQ(m.excludedUnknownOutcome, 3u) << modelKey(computed);
        EXPECT_EQ(m.excludedNotScored, 2u) << modelKey(computed);
        EXPECT_EQ(m.overall.n, 1u) << modelKey(computed);
    }
}

// Risks worked by hand from the published constants at (PS, OS) = (20, 10),
// (25, 15) and (20, 30), the second died. The stored columns all say 0.04
// for V_MORT: the computed models must use the scores, unrounded, and the
// physiology-only one must tie the first and third episodes.
TEST(Analysis, ComputedModelsFollowTheScores) {
    std::string text;
    text += line(Row{.name = "a", .date = "01/01/2024", .ps = 20, .os = 10});
    text += line(Row{.name = "b", .date = "02/01/2024", .ps = 25, .os = 15, .mortality = "1"});
    text += line(Row{.name = "c", .date = "03/01/2024", .ps = 20, .os = 30});
    const AnalysisResult result = analyse(read(text), givenLimit(4.5));

    const ModelResult& arterial = model(result, Model::VPossum2001Mortality);
    EXPECT_NEAR(arterial.overall.expected,
                0.02366982021836026 + 0.08910598884453892 + 0.22380997532186256, 1e-12);
    EXPECT_DOUBLE_EQ(*arterial.discrimination.auroc, 0.5);
    EXPECT_EQ(arterial.bands[2].figures.n, 1u); // 22.38%

    const ModelResult& physiology = model(result, Model::VPossum2001PhysiologicalMortality);
    EXPECT_NEAR(physiology.overall.expected, 2 * 0.04923791036305033 + 0.10055256392120497, 1e-12);
    EXPECT_DOUBLE_EQ(*physiology.discrimination.auroc, 1.0);
    EXPECT_NEAR(physiology.vlad, 0.19902838464730563 - 1, 1e-12);
    EXPECT_EQ(physiology.bands[0].figures.n, 2u);
    EXPECT_EQ(physiology.bands[1].figures.n, 1u);

    const ModelResult& refit = model(result, Model::PPossum1998Mortality);
    EXPECT_NEAR(refit.overall.expected, 0.3538631324553742, 1e-12);
    EXPECT_EQ(refit.bands[0].figures.n, 2u);
    EXPECT_EQ(refit.bands[2].figures.n, 1u);

    EXPECT_DOUBLE_EQ(model(result, Model::RaaaPossumMortality).overall.expected, 0.12);
}

TEST(Analysis, DateRangeReusesTheRecordsRead) {
    std::string text = episodes(
        {{"0.1000", "0"}, {"0.2000", "1"}, {"0.3000", "0"}, {"0.4000", "1"}, {"0.5000", "0"}});
    text += line(Row{.name = "undated", .date = "?"});
    const AuditData data = read(text);
    AnalysisOptions options = givenLimit(4.5);
    options.from = Date{2024, 1, 2};
    options.to = Date{2024, 1, 4};
    const AnalysisResult inRange = analyse(data, options);
    EXPECT_EQ(inRange.inDateRange, 3u);
    EXPECT_EQ(inRange.outsideDateRange, 2u);
    EXPECT_EQ(inRange.undatedLeftOut, 1u);
    EXPECT_DOUBLE_EQ(model(inRange, Model::PPossumMortality).overall.expected, 0.9);
    const AnalysisResult all = analyse(data, givenLimit(4.5));
    EXPECT_EQ(all.inDateRange, 6u);
    EXPECT_EQ(predictedRisks(data, options, Model::PPossumMortality),
              (std::vector<double>{0.2, 0.3, 0.4}));
}

// Outcomes drawn from the models' own risks: observed near expected, slope
// near 1, signals rare; with the odds doubled the CUSUM signals.
TEST(Analysis, GeneratedFileBehavesAsItsRisksSay) {
    testing::GeneratedAudit generated;
    generated.records = 60000;
    generated.seed = 5;
    generated.repeatShare = 0.02;
    generated.unknownOutcomeShare = 0.01;
    const AuditData data = read(testing::generateAuditText(generated));
    EXPECT_EQ(data.problemCount(), 0u);
    EXPECT_GT(data.mergedRecords(), 0u);
    AnalysisOptions options;
    options.limit = 5.0;
    options.maxSeriesPoints = 200;
    const AnalysisResult result = analyse(data, options);
    for (const Model which : {Model::PPossumMortality, Model::PossumMorbidity}) {
        const ModelResult& m = model(result, which);
        EXPECT_NEAR(*m.overall.ratio, 1.0, 0.05) << modelKey(which);
        EXPECT_LT(m.overall.interval->lower, 1.0);
        EXPECT_GT(m.overall.interval->upper, 1.0);
        EXPECT_NEAR(*m.calibration.slope, 1.0, 0.1) << modelKey(which);
        EXPECT_NEAR(*m.calibration.intercept, 0.0, 0.25) << modelKey(which);
        EXPECT_GT(*m.hosmerLemeshow.pValue, 0.001);
        EXPECT_GT(*m.discrimination.auroc, 0.6);
        // The thinned series ends where the episodes end, with the final VLAD.
        ASSERT_FALSE(m.series.empty());
        EXPECT_LE(m.series.size(), 260u);
        EXPECT_EQ(m.series.back().position, m.overall.n);
        EXPECT_NEAR(m.series.back().vlad, m.vlad, 1e-9);
    }
    // POSSUM mortality is known to over-predict against P-POSSUM.
    EXPECT_LT(*model(result, Model::PossumMortality).overall.ratio, 0.9);

    generated.oddsMultiplier = 2.0;
    const AnalysisResult worse = analyse(read(testing::generateAuditText(generated)), options);
    const ModelResult& m = model(worse, Model::PPossumMortality);
    EXPECT_GT(*m.overall.ratio, 1.4);
    const std::size_t inControl = model(result, Model::PPossumMortality).cusum.signals.size();
    EXPECT_GT(m.cusum.signals.size(), 5 * inControl + 5);
    EXPECT_GT(m.series.size(), 0u);
    for (const CusumSignal& signal : m.cusum.signals) {
        const auto found = std::find_if(m.series.begin(), m.series.end(), [&](const TimePoint& p) {
            return p.position == signal.position;
        });
        ASSERT_NE(found, m.series.end()) << "a signal thinned away";
        EXPECT_TRUE(found->signal);
    }
}

// A long path thinned for drawing keeps, in every stretch, the lowest and
// highest CUSUM and VLAD of the unthinned path, and every signal: a line drawn
// through it never shows the CUSUM sitting at a limit it left.
TEST(Analysis, ThinnedPathsKeepTheirExtentInEveryStretch) {
    testing::GeneratedAudit generated;
    generated.records = 20000;
    generated.seed = 11;
    generated.oddsMultiplier = 2.0;
    const AuditData data = read(testing::generateAuditText(generated));
    AnalysisOptions options;
    options.limit = 3.0;
    options.models = {Model::PPossumMortality};
    options.maxSeriesPoints = 20000;
    const ModelResult all = analyse(data, options).models[0];
    options.maxSeriesPoints = 500;
    const ModelResult thinned = analyse(data, options).models[0];
    const std::uint64_t n = all.overall.n;
    ASSERT_EQ(all.series.size(), n);
    ASSERT_GT(all.cusum.signals.size(), 20u);
    EXPECT_LE(thinned.series.size(), 500 + thinned.cusum.signals.size());

    const std::uint64_t stretch = seriesStretch(n, 500);
    EXPECT_GT(stretch, 1u);
    struct Extent {
        double cusumLow = 1e300, cusumHigh = -1e300, vladLow = 1e300, vladHigh = -1e300;
        std::size_t signals = 0;
        bool operator==(const Extent&) const = default;
    };
    auto extents = [&](const std::vector<TimePoint>& series) {
        std::vector<Extent> out((n + stretch - 1) / stretch);
        for (const TimePoint& p : series) {
            Extent& e = out[(p.position - 1) / stretch];
            e.cusumLow = std::min(e.cusumLow, p.cusum);
            e.cusumHigh = std::max(e.cusumHigh, p.cusum);
            e.vladLow = std::min(e.vladLow, p.vlad);
            e.vladHigh = std::max(e.vladHigh, p.vlad);
            e.signals += p.signal;
        }
        return out;
    };
    const std::vector<Extent> expected = extents(all.series);
    const std::vector<Extent> kept = extents(thinned.series);
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_TRUE(kept[i] == expected[i]) << "stretch " << i;
    EXPECT_EQ(thinned.series.back().position, n);
    EXPECT_TRUE(std::is_sorted(
        thinned.series.begin(), thinned.series.end(),
        [](const TimePoint& l, const TimePoint& r) { return l.position < r.position; }));
}

TEST(Analysis, ComputedLimitIsReportedAndCancelStops) {
    testing::GeneratedAudit generated;
    generated.records = 3000;
    const AuditData data = read(testing::generateAuditText(generated));
    AnalysisOptions options;
    options.models = {Model::PPossumMortality};
    options.targetArl = 1000;
    const AnalysisResult result = analyse(data, options);
    const Cusum& cusum = result.models[0].cusum;
    ASSERT_TRUE(cusum.limit);
    EXPECT_TRUE(cusum.limitComputed);
    EXPECT_GT(cusum.chainStates, 0);
    EXPECT_GT(*cusum.limit, 1.0);
    EXPECT_LT(*cusum.limit, 10.0);
    EXPECT_EQ(analyse(data, options).models[0].cusum.limit, cusum.limit);
    // The simulation, kept as an option, finds about the same limit.
    options.limitMethod = AnalysisOptions::LimitMethod::Simulation;
    options.simulationRuns = 500;
    const AnalysisResult simulation = analyse(data, options);
    const Cusum& simulated = simulation.models[0].cusum;
    ASSERT_TRUE(simulated.limit);
    EXPECT_EQ(simulated.simulationRuns, 500u);
    EXPECT_NEAR(*simulated.limit, *cusum.limit, 0.05 * *cusum.limit);

    const AnalysisResult cancelled = analyse(
        data, options, [](std::string_view, std::uint64_t, std::uint64_t) { return false; });
    EXPECT_TRUE(cancelled.cancelled);
}

// One record whose stored risks are all 0: those models cannot signal and get
// no limit at once; the models computed from its scores have a risk above 0
// and get theirs from a chain of bounded size: nothing grows with the run
// length, as the simulation's runs did (119 MB for this file).
TEST(Analysis, OneRecordOfRiskZeroGetsItsLimitsAtOnce) {
    const AuditData data = read(
        line(Row{.ps = 12, .os = 6, .risks = {"0.0000", "0.0000", "0.0000", "0.0000", "0.0000"}}));
    const AnalysisResult result = analyse(data, AnalysisOptions{});
    ASSERT_EQ(result.models.size(), kModelCount);
    for (const ModelResult& m : result.models) {
        for (const Cusum* c : {&m.cusum, &m.improvement}) {
            if (isStoredModel(m.model)) {
                EXPECT_FALSE(c->limit);
                EXPECT_EQ(c->limitMissing, kCannotSignal);
            } else {
                ASSERT_TRUE(c->limit) << c->limitMissing;
                EXPECT_GT(c->chainStates, 0);
            }
        }
    }
}

} // namespace
} // namespace caldrin::audit

namespace caldrin::audit {
namespace {

// Every episode at the same risk: the slope cannot be estimated, and a fit
// started from perfect calibration must not hand back its starting values.
// Calibration-in-the-large still can: logit(3/6) - logit(0.10), with
// variance 1 / (6 x 0.5 x 0.5).
TEST(Calibration, OneRiskForAllGivesNoSlopeAndSaysWhy) {
    const AuditData data = read(episodes({{"0.1000", "1"},
                                          {"0.1000", "0"},
                                          {"0.1000", "1"},
                                          {"0.1000", "0"},
                                          {"0.1000", "1"},
                                          {"0.1000", "0"}}));
    const AnalysisResult result = analyse(data, givenLimit(4.5));
    const ModelResult& m = model(result, Model::PPossumMortality);
    EXPECT_NEAR(*m.overall.ratio, 5.0, 1e-12);
    EXPECT_FALSE(m.calibration.intercept);
    EXPECT_FALSE(m.calibration.slope);
    EXPECT_FALSE(m.calibration.slopeInterval);
    EXPECT_NE(m.calibration.missing.find("same predicted risk"), std::string::npos);
    const double alpha = std::log(9.0);
    ASSERT_TRUE(m.calibration.inTheLarge);
    EXPECT_NEAR(*m.calibration.inTheLarge, alpha, 1e-9);
    const double half = 1.959963984540054 * std::sqrt(1 / 1.5);
    EXPECT_NEAR(m.calibration.inTheLargeInterval->lower, alpha - half, 1e-8);
    EXPECT_NEAR(m.calibration.inTheLargeInterval->upper, alpha + half, 1e-8);
    EXPECT_FALSE(m.calibrationCurve.ici);
    EXPECT_TRUE(m.calibrationCurve.points.empty());
    EXPECT_FALSE(m.calibrationCurve.missing.empty());
    EXPECT_TRUE(m.fewEvents);

    const std::string text = formatReport(data, result, givenLimit(4.5), ReportFormat::Text);
    EXPECT_NE(text.find("no slope can be estimated"), std::string::npos);
    EXPECT_NE(text.find("calibration-in-the-large 2.20 (0.60 to 3.80)"), std::string::npos) << text;
    EXPECT_NE(text.find("imprecise"), std::string::npos);
    const auto json =
        nlohmann::json::parse(formatReport(data, result, givenLimit(4.5), ReportFormat::Json));
    EXPECT_TRUE(json["models"][0]["calibration"]["intercept"].is_null());
    EXPECT_TRUE(json["models"][0]["calibration"]["slope"].is_null());
}

// Outcomes drawn from the models' own risks lie on the diagonal: the
// flexible curve's distances are small, and on several files (units) few
// fall outside the funnel; a unit whose odds are doubled is flagged.
TEST(Calibration, OwnRiskOutcomesLieOnTheCurveAndADoubledUnitIsFlagged) {
    AuditReader reader(ReadOptions{DateOrder::DayMonthYear, 2026});
    for (int unit = 0; unit < 12; ++unit) {
        testing::GeneratedAudit generated;
        generated.records = 4000;
        generated.seed = 100 + static_cast<std::uint64_t>(unit);
        generated.oddsMultiplier = unit == 7 ? 2.0 : 1.0;
        // Units in different years, so that no record repeats another unit's.
        generated.firstYear = 1980 + 3 * unit;
        reader.addText(testing::cat("unit", std::to_string(unit), ".csv"),
                       testing::generateAuditText(generated));
    }
    const AuditData data = reader.finish();
    AnalysisOptions options = givenLimit(5.0);
    const AnalysisResult result = analyse(data, options);
    ASSERT_EQ(result.units.size(), 12u);
    const auto p = static_cast<std::size_t>(
        std::find_if(result.models.begin(), result.models.end(),
                     [](const ModelResult& m) { return m.model == Model::PPossumMortality; }) -
        result.models.begin());
    const ModelResult& m = result.models[p];
    EXPECT_FALSE(m.fewEvents);
    ASSERT_TRUE(m.calibrationCurve.ici) << m.calibrationCurve.missing;
    EXPECT_EQ(m.calibrationCurve.knots.size(), 4u);
    EXPECT_EQ(m.calibrationCurve.points.size(), 50u);
    // The doubled unit pulls the whole file's curve up a little; the curve
    // stays close to the diagonal over most episodes.
    EXPECT_LT(*m.calibrationCurve.e50, *m.calibrationCurve.e90);
    EXPECT_LE(*m.calibrationCurve.e90, *m.calibrationCurve.emax);
    for (const CalibrationCurvePoint& point : m.calibrationCurve.points) {
        EXPECT_LE(point.lower, point.observed);
        EXPECT_GE(point.upper, point.observed);
    }
    std::size_t flagged = 0;
    for (std::size_t u = 0; u < result.units.size(); ++u) {
        const UnitFigures& f = result.units[u].models[p];
        EXPECT_EQ(f.model, Model::PPossumMortality);
        if (u == 7) {
            EXPECT_GT(*f.ratio, 1.4) << f.observed << " " << f.expected << " n " << f.n;
            EXPECT_TRUE(f.outside998) << f.observed << " " << f.expected << " n " << f.n;
        } else {
            flagged += f.outside998;
        }
    }
    EXPECT_LE(flagged, 1u);
    ASSERT_TRUE(m.funnel.phi);

    // The same units drawn from their own risks throughout: ICI near 0.
    AuditReader fair(ReadOptions{DateOrder::DayMonthYear, 2026});
    testing::GeneratedAudit generated;
    generated.records = 40000;
    generated.seed = 3;
    fair.addText("all.csv", testing::generateAuditText(generated));
    const AnalysisResult own = analyse(fair.finish(), options);
    const ModelResult& ownModel = own.models[p];
    ASSERT_TRUE(ownModel.calibrationCurve.ici);
    EXPECT_LT(*ownModel.calibrationCurve.ici, 0.01);
    EXPECT_LT(*m.calibrationCurve.ici, 0.03);
    EXPECT_NEAR(*ownModel.calibration.inTheLarge, 0.0, 0.1);
}

// The improvement CUSUM looks for fewer deaths than predicted: with the odds
// halved it signals and the harm CUSUM does not; its path stays at or above
// 0 (charts draw it below zero).
TEST(Analysis, ImprovementCusumSignalsWhenDeathsFallBelowPrediction) {
    testing::GeneratedAudit generated;
    generated.records = 20000;
    generated.seed = 8;
    generated.oddsMultiplier = 0.5;
    const AuditData data = read(testing::generateAuditText(generated));
    AnalysisOptions options = givenLimit(4.0);
    options.models = {Model::PPossumMortality};
    options.maxSeriesPoints = 20000;
    const ModelResult m = analyse(data, options).models[0];
    EXPECT_DOUBLE_EQ(m.improvement.oddsRatio, 0.5);
    EXPECT_EQ(m.improvement.limit, 4.0);
    EXPECT_GT(m.improvement.signals.size(), 3u);
    EXPECT_LT(m.cusum.signals.size(), m.improvement.signals.size());
    std::size_t signalsOnPath = 0;
    for (const TimePoint& point : m.series) {
        EXPECT_GE(point.improvement, 0.0);
        signalsOnPath += point.improvementSignal;
    }
    EXPECT_EQ(signalsOnPath, m.improvement.signals.size());
}

} // namespace
} // namespace caldrin::audit

namespace caldrin::audit {
namespace {

// Paired DeLong worked on paper. Deaths at P-POSSUM 0.4, 0.3 and POSSUM 0.1,
// 0.5; survivors at 0.2, 0.35 and 0.2, 0.3. AUROCs 3/4 and 2/4; placements
// (1, 1/2) and (0, 1) for the deaths, (1, 1/2) and (1/2, 1/2) for the
// survivors; variance of the difference (1/8 + 1/2 + 2/4) / 2 + (1/8) / 2 = 5/8.
TEST(AurocComparison, FourEpisodesWorkedByHand) {
    std::string text;
    const char* rows[][3] = {{"0.4000", "0.1000", "1"},
                             {"0.3000", "0.5000", "1"},
                             {"0.2000", "0.2000", "0"},
                             {"0.3500", "0.3000", "0"}};
    int day = 1;
    for (const auto& [pPossum, possum, died] : rows) {
        Row row{.name = testing::cat("D", std::to_string(day))};
        row.date = std::to_string(day++) + "/01/2024";
        row.risks[2] = pPossum;
        row.risks[1] = possum;
        row.mortality = died;
        text += line(row);
    }
    AnalysisOptions options = givenLimit(4.5);
    options.models = {Model::PPossumMortality, Model::PossumMortality, Model::PossumMorbidity};
    const AnalysisResult result = analyse(read(text), options);
    ASSERT_EQ(result.aurocComparisons.size(), 1u); // morbidity has no partner
    const AurocComparison& c = result.aurocComparisons[0];
    EXPECT_EQ(c.first, Model::PPossumMortality);
    EXPECT_EQ(c.second, Model::PossumMortality);
    EXPECT_EQ(c.n, 4u);
    EXPECT_DOUBLE_EQ(*c.difference, 0.25);
    const double se = std::sqrt(5.0 / 8);
    EXPECT_NEAR(*c.z, 0.25 / se, 1e-12);
    EXPECT_NEAR(*c.p, std::erfc(0.25 / se / std::sqrt(2.0)), 1e-12);
    EXPECT_NEAR(c.interval->lower, 0.25 - 1.959963984540054 * se, 1e-12);
}

// Where the difference has no variance, the reason says why. P-POSSUM
// separates the three deaths from the three survivors (AUROC 1); POSSUM
// gives everyone 0.1 (AUROC 0.5): neither AUROC varies, yet the models rank
// the pairs differently.
TEST(AurocComparison, NoVarianceIsExplainedByItsCause) {
    const auto compare = [](const char* const(&pPossum)[6]) {
        std::string text;
        for (int i = 0; i < 6; ++i) {
            // Built whole: GCC 12 at -O3 warns falsely on assigning the fields.
            text += line(Row{.name = testing::cat("D", std::to_string(i)),
                             .date = testing::cat(std::to_string(i + 1), "/01/2024"),
                             .risks = {"0.2000", "0.1000", pPossum[i], "0.0400", "0.0300"},
                             .mortality = i < 3 ? "1" : "0"});
        }
        AnalysisOptions options = givenLimit(4.5);
        options.models = {Model::PPossumMortality, Model::PossumMortality};
        return analyse(read(text), options).aurocComparisons.at(0);
    };
    const AurocComparison separated =
        compare({"0.6000", "0.7000", "0.8000", "0.1000", "0.2000", "0.3000"});
    EXPECT_DOUBLE_EQ(*separated.difference, 0.5);
    EXPECT_FALSE(separated.z);
    EXPECT_FALSE(separated.p);
    EXPECT_NE(separated.missing.find("one model separates the episodes with and without the "
                                     "outcome completely (AUROC 1)"),
              std::string::npos)
        << separated.missing;
    // Both alike: every risk 0.1.
    const AurocComparison alike =
        compare({"0.1000", "0.1000", "0.1000", "0.1000", "0.1000", "0.1000"});
    EXPECT_FALSE(alike.z);
    EXPECT_NE(alike.missing.find("rank every pair"), std::string::npos) << alike.missing;
}

} // namespace
} // namespace caldrin::audit
