// SPDX-License-Identifier: GPL-3.0-or-later
// Fitting a model update: the closed testing procedure on generated data,
// the rules on too few events, fits that cannot be identified, and which
// episodes a fit counts.

#include "audit/calibration.h"
#include "audit/modelupdatefit.h"
#include "auditlines.h"
#include "updatedata.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace caldrin::audit {
namespace {

using modelupdate::Method;

struct ClosedTestCase {
    const char* name;
    double intercept;
    double slope;
    Method expected;
};

class ClosedTestOnGeneratedData : public ::testing::TestWithParam<ClosedTestCase> {};

// 20,000 episodes of P-POSSUM (1998), outcomes drawn from a known truth.
TEST_P(ClosedTestOnGeneratedData, ChoosesTheMethodTheOutcomesWereDrawnBy) {
    testing::UpdateDataOptions options;
    options.seed = 2017;
    options.intercept = GetParam().intercept;
    options.slope = GetParam().slope;
    const UpdateFit fit =
        fitUpdate(Model::PPossum1998Mortality, testing::updateObservations(options));
    ASSERT_EQ(fit.candidates.size(), 4u);
    for (const UpdateCandidate& c : fit.candidates)
        EXPECT_TRUE(c.logLikelihood) << c.missing;
    ASSERT_TRUE(fit.chosen) << fit.reason;
    EXPECT_EQ(*fit.chosen, GetParam().expected);
    EXPECT_EQ(fit.largestTested, Method::Revision);
    // The tests run least extensive first, each against revision, and stop
    // at the first method kept.
    ASSERT_FALSE(fit.closedTest.empty());
    for (std::size_t i = 0; i < fit.closedTest.size(); ++i) {
        EXPECT_EQ(static_cast<int>(fit.closedTest[i].kept), static_cast<int>(i));
        EXPECT_EQ(fit.closedTest[i].against, Method::Revision);
        EXPECT_EQ(fit.closedTest[i].degreesOfFreedom, 3 - static_cast<int>(i));
    }
    EXPECT_EQ(fit.closedTest.back().p >= kClosedTestLevel, *fit.chosen != Method::Revision);
    // The estimates recover the truth they were drawn from.
    if (*fit.chosen == Method::RecalibrationInTheLarge) {
        EXPECT_NEAR(fit.candidate(Method::RecalibrationInTheLarge)->coefficients[0],
                    GetParam().intercept, 0.1);
    }
    if (*fit.chosen == Method::LogisticRecalibration) {
        EXPECT_NEAR(fit.candidate(Method::LogisticRecalibration)->coefficients[1], GetParam().slope,
                    0.05);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Truths, ClosedTestOnGeneratedData,
    ::testing::Values(ClosedTestCase{"Published", 0, 1, Method::Original},
                      ClosedTestCase{"InterceptShifted", -1, 1, Method::RecalibrationInTheLarge},
                      ClosedTestCase{"SlopeSixTenths", 0, 0.6, Method::LogisticRecalibration}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ClosedTest, ChoosesRevisionWhenTheScoresWeighDifferently) {
    testing::UpdateDataOptions options;
    options.seed = 5;
    std::vector<UpdateObservation> observations = testing::updateObservations(options);
    // Redraw the outcomes with the operative score counting a third as much.
    std::uint64_t state = 99;
    for (UpdateObservation& o : observations) {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        const double u = static_cast<double>(state >> 11) * 0x1.0p-53;
        const double eta = -8 + 0.17 * o.physiologicalScore + 0.05 * o.operativeScore;
        o.event = u < 1 / (1 + std::exp(-eta));
    }
    const UpdateFit fit = fitUpdate(Model::PPossum1998Mortality, observations);
    ASSERT_TRUE(fit.chosen) << fit.reason;
    EXPECT_EQ(*fit.chosen, Method::Revision);
    EXPECT_NEAR(fit.candidate(Method::Revision)->coefficients[2], 0.05, 0.02);
}

TEST(ClosedTest, OffersRevisionOnlyForEquationsOfBothScoresComputedFromThem) {
    EXPECT_TRUE(offersRevision(Model::PPossum1998Mortality));
    EXPECT_TRUE(offersRevision(Model::VPossum2001Mortality));
    EXPECT_FALSE(offersRevision(Model::VPossum2001PhysiologicalMortality));
    EXPECT_FALSE(offersRevision(Model::PPossumMortality));
    testing::UpdateDataOptions options;
    options.model = Model::VPossum2001PhysiologicalMortality;
    options.episodes = 5000;
    options.slope = 0.6;
    const UpdateFit fit = fitUpdate(options.model, testing::updateObservations(options));
    EXPECT_EQ(fit.candidates.size(), 3u);
    EXPECT_EQ(fit.largestTested, Method::LogisticRecalibration);
    EXPECT_EQ(fit.closedTest.front().degreesOfFreedom, 2);
}

TEST(MinimumData, FewerThanTwentyEventsGiveNoUpdateWithTheReason) {
    testing::UpdateDataOptions options;
    options.episodes = 200;
    options.intercept = -4;
    std::vector<UpdateObservation> observations = testing::updateObservations(options);
    std::uint64_t events = 0;
    for (const UpdateObservation& o : observations)
        events += o.event;
    ASSERT_LT(events, kFewestEventsForUpdate);
    ASSERT_GT(events, 0u);
    const UpdateFit fit = fitUpdate(Model::PPossum1998Mortality, observations);
    EXPECT_FALSE(fit.chosen);
    EXPECT_TRUE(fit.closedTest.empty());
    EXPECT_NE(fit.reason.find("no update"), std::string::npos) << fit.reason;
    EXPECT_NE(fit.reason.find("fewer than 20"), std::string::npos) << fit.reason;
}

TEST(MinimumData, FewerThanAHundredEventsAllowOnlyRecalibrationInTheLarge) {
    // Strongly miscalibrated in slope, but on too few events to say so.
    testing::UpdateDataOptions options;
    options.episodes = 800;
    options.intercept = -2.2;
    options.slope = 0.5;
    const auto observations = testing::updateObservations(options);
    const UpdateFit fit = fitUpdate(Model::PPossum1998Mortality, observations);
    ASSERT_GE(fit.events, kFewestEventsForUpdate);
    ASSERT_LT(fit.events, kFewEvents);
    ASSERT_TRUE(fit.chosen) << fit.reason;
    EXPECT_EQ(fit.largestTested, Method::RecalibrationInTheLarge);
    ASSERT_EQ(fit.closedTest.size(), 1u);
    EXPECT_EQ(fit.closedTest[0].degreesOfFreedom, 1);
    EXPECT_TRUE(*fit.chosen == Method::Original || *fit.chosen == Method::RecalibrationInTheLarge);
    EXPECT_NE(fit.reason.find("only recalibration-in-the-large"), std::string::npos);
}

TEST(Identification, AFitTheEpisodesCannotIdentifyIsRefusedWithTheReason) {
    // Every episode at one score pair: only the overall level can be estimated.
    std::vector<UpdateObservation> observations;
    for (int i = 0; i < 1000; ++i)
        observations.push_back(
            {riskmodels::riskFromScores(modelEntry(Model::PPossum1998Mortality), 30, 15), 30, 15,
             i % 4 == 0});
    const UpdateFit fit = fitUpdate(Model::PPossum1998Mortality, observations);
    EXPECT_TRUE(fit.candidate(Method::RecalibrationInTheLarge)->logLikelihood);
    EXPECT_NE(fit.candidate(Method::LogisticRecalibration)->missing.find("same predicted risk"),
              std::string::npos);
    EXPECT_NE(fit.candidate(Method::Revision)->missing.find("singular"), std::string::npos);
    EXPECT_EQ(fit.largestTested, Method::RecalibrationInTheLarge);
    ASSERT_TRUE(fit.chosen);
    EXPECT_NE(fit.reason.find("could not be fitted"), std::string::npos) << fit.reason;
}

TEST(Identification, OutcomesSeparatedByTheScoresHaveNoFiniteRevision) {
    std::vector<UpdateObservation> observations;
    for (int ps = 12; ps < 60; ++ps)
        for (int os = 6; os < 30; ++os)
            for (int copy = 0; copy < 2; ++copy)
                observations.push_back(
                    {riskmodels::riskFromScores(modelEntry(Model::PPossum1998Mortality), ps, os),
                     static_cast<std::uint8_t>(ps), static_cast<std::uint8_t>(os), ps + os > 60});
    const UpdateFit fit = fitUpdate(Model::PPossum1998Mortality, observations);
    EXPECT_FALSE(fit.candidate(Method::Revision)->logLikelihood);
    EXPECT_NE(fit.candidate(Method::Revision)->missing.find("no finite solution"),
              std::string::npos)
        << fit.candidate(Method::Revision)->missing;
}

TEST(CountedEpisodes, FitsTheDatedEpisodesOfThePeriodWithAKnownOutcomeAndBothScores) {
    using testing::Row;
    std::string text = testing::kHeader;
    auto add = [&](std::string id, std::string date, std::string mortality, int ps = 30) {
        Row row;
        row.id = std::move(id);
        row.date = std::move(date);
        row.mortality = std::move(mortality);
        row.ps = ps;
        text += testing::line(row);
    };
    add("1", "05/01/2024", "1");
    add("2", "06/01/2024", "0");
    add("3", "07/02/2024", "0");
    add("4", "08/02/2024", "");     // outcome unknown
    add("5", "09/02/2024", "0", 0); // not scored
    add("6", "31/02/2024", "1");    // no such date
    add("7", "01/06/2025", "1");    // after the period asked for
    AuditReader reader(ReadOptions{DateOrder::DayMonthYear, 2026});
    reader.addText("unit.csv", text);
    const AuditData data = reader.finish();

    const UpdateFit open = fitUpdate(data, Model::PPossum1998Mortality, {}, {});
    EXPECT_EQ(open.episodes, 4u);
    EXPECT_EQ(open.events, 2u);
    EXPECT_EQ(open.undatedLeftOut, 1u);
    EXPECT_EQ(open.from, (Date{2024, 1, 5}));
    EXPECT_EQ(open.to, (Date{2025, 6, 1}));

    const UpdateFit ranged =
        fitUpdate(data, Model::PPossum1998Mortality, Date{2024, 1, 1}, Date{2024, 12, 31});
    EXPECT_EQ(ranged.episodes, 3u);
    EXPECT_EQ(ranged.events, 1u);
    EXPECT_EQ(ranged.from, (Date{2024, 1, 1}));
    EXPECT_EQ(ranged.to, (Date{2024, 12, 31}));
    EXPECT_FALSE(ranged.chosen);

    // The episodes handed back are those fitted on.
    std::vector<UpdateObservation> fitted;
    fitUpdate(data, Model::PPossum1998Mortality, Date{2024, 1, 1}, Date{2024, 12, 31}, &fitted);
    ASSERT_EQ(fitted.size(), 3u);
    EXPECT_EQ(std::count_if(fitted.begin(), fitted.end(), [](auto& o) { return o.event; }), 1);
}

TEST(ApparentCalibration, GroupsTenthsOfTheEpisodesOrderedByPredictedRisk) {
    // 20 episodes, risks 0.01 ... 0.20 given out of order; the event on
    // every risk that is a multiple of 0.04. Worked by hand: the tenth of
    // 0.03 and 0.04 has mean 0.035 and one event in two.
    std::vector<std::pair<double, bool>> predicted;
    for (int i = 20; i >= 1; --i)
        predicted.emplace_back(i / 100.0, i % 4 == 0);
    const std::vector<CalibrationGroup> groups = calibrationByTenths(predicted);
    ASSERT_EQ(groups.size(), 10u);
    EXPECT_NEAR(groups[0].predicted, 0.015, 1e-12);
    EXPECT_EQ(groups[0].events, 0u);
    EXPECT_NEAR(groups[1].predicted, 0.035, 1e-12);
    EXPECT_EQ(groups[1].episodes, 2u);
    EXPECT_DOUBLE_EQ(groups[1].observed, 0.5);
    EXPECT_NEAR(groups[9].predicted, 0.195, 1e-12);
    // Fewer than ten episodes: one group each, none empty.
    EXPECT_EQ(calibrationByTenths({{0.1, true}, {0.2, false}, {0.3, false}}).size(), 3u);
    EXPECT_TRUE(calibrationByTenths({}).empty());

    // Equal risks stay together: 30 episodes at 10% with 3 events and 70 at
    // 30% with 21 are perfectly calibrated, and show it. (Cut into tenths of
    // ten, the first tenth would be ten episodes without the event: 0%.)
    std::vector<std::pair<double, bool>> tied;
    for (int i = 0; i < 30; ++i)
        tied.emplace_back(0.1, i < 3);
    for (int i = 0; i < 70; ++i)
        tied.emplace_back(0.3, i < 21);
    const std::vector<CalibrationGroup> together = calibrationByTenths(tied);
    ASSERT_EQ(together.size(), 2u);
    EXPECT_EQ(together[0].episodes, 30u);
    EXPECT_DOUBLE_EQ(together[0].observed, 0.1);
    EXPECT_DOUBLE_EQ(together[1].observed, 0.3);
}

TEST(ApparentCalibration, TheUpdatedRiskAddsUpToTheEventsItWasFittedOn) {
    // A maximum-likelihood fit with an intercept predicts, summed over the
    // episodes it was fitted on, exactly the events observed; the published
    // risk, drawn an intercept of -1 away, overpredicts.
    testing::UpdateDataOptions options;
    options.seed = 7;
    options.intercept = -1;
    const std::vector<UpdateObservation> observations = testing::updateObservations(options);
    const UpdateFit fit = fitUpdate(Model::PPossum1998Mortality, observations);
    ASSERT_EQ(fit.chosen, Method::RecalibrationInTheLarge);
    const ApparentCalibration calibration = apparentCalibration(fit, observations);
    const auto expected = [](const std::vector<CalibrationGroup>& groups) {
        double sum = 0;
        for (const CalibrationGroup& g : groups)
            sum += g.predicted * double(g.episodes);
        return sum;
    };
    ASSERT_EQ(calibration.updated.size(), 10u);
    EXPECT_NEAR(expected(calibration.updated), double(fit.events), 1e-3);
    EXPECT_GT(expected(calibration.published), 1.2 * double(fit.events));

    // Nothing chosen: the published risk alone, the same tenths as the
    // episodes listed one by one give.
    UpdateFit none = fit;
    none.chosen.reset();
    const ApparentCalibration published = apparentCalibration(none, observations);
    EXPECT_TRUE(published.updated.empty());
    std::vector<std::pair<double, bool>> each;
    for (const UpdateObservation& o : observations)
        each.emplace_back(o.risk, o.event);
    const std::vector<CalibrationGroup> oneByOne = calibrationByTenths(each);
    ASSERT_EQ(published.published.size(), oneByOne.size());
    for (std::size_t g = 0; g < oneByOne.size(); ++g) {
        EXPECT_EQ(published.published[g].episodes, oneByOne[g].episodes) << g;
        EXPECT_EQ(published.published[g].events, oneByOne[g].events) << g;
        EXPECT_NEAR(published.published[g].predicted, oneByOne[g].predicted, 1e-12) << g;
    }
}

TEST(CountedEpisodes, TheUpdatesLogitIsTheAnalysisOwn) {
    for (const double p : {0.0, 1e-9, 0.0001, 0.37, 0.9999, 1.0})
        EXPECT_EQ(modelupdate::clampedLogit(p), clampedLogit(p)) << p;
}

} // namespace
} // namespace caldrin::audit
