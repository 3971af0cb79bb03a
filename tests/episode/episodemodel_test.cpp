// SPDX-License-Identifier: GPL-3.0-or-later
#include "episode/episodemodel.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using caldrin::EpisodeModel;
using caldrin::PatientDetails;
using caldrin::RiskKind;

namespace {

// What the windows would see: each signal as a word, in order.
struct Recorder {
    std::vector<std::string> events;

    explicit Recorder(EpisodeModel& model) {
        auto note = [this](std::string event) { events.push_back(std::move(event)); };
        QObject::connect(&model, &EpisodeModel::calculateEnabledChanged,
                         [note](bool on) { note(on ? "calculate on" : "calculate off"); });
        QObject::connect(&model, &EpisodeModel::reportEnabledChanged,
                         [note](bool on) { note(on ? "report on" : "report off"); });
        QObject::connect(&model, &EpisodeModel::addToFileEnabledChanged,
                         [note](bool on) { note(on ? "add on" : "add off"); });
        QObject::connect(&model, &EpisodeModel::physiologicalScoreSet,
                         [note](quint8 total) { note("ps " + std::to_string(total)); });
        QObject::connect(&model, &EpisodeModel::operativeScoreSet,
                         [note](quint8 total) { note("os " + std::to_string(total)); });
        QObject::connect(&model, &EpisodeModel::physiologicalScoreWithdrawn,
                         [note] { note("ps withdrawn"); });
        QObject::connect(&model, &EpisodeModel::operativeScoreWithdrawn,
                         [note] { note("os withdrawn"); });
        QObject::connect(&model, &EpisodeModel::risksCleared, [note] { note("risks cleared"); });
        QObject::connect(&model, &EpisodeModel::detailsReset, [note] { note("details reset"); });
    }

    std::vector<std::string> take() { return std::exchange(events, {}); }
};

using Events = std::vector<std::string>;

PatientDetails somePatient() {
    return {"Ann", "123", "01/02/1950", "03/04/2020", "abc", "1", "0"};
}

} // namespace

TEST(EpisodeModel, ScoresFromTheDialogsEnableCalculateOnceBothBoxesHoldThem) {
    EpisodeModel model;
    Recorder seen(model);
    model.startEpisode(false);
    EXPECT_EQ(seen.take(), Events{"details reset"}); // everything already off

    model.setPhysiologicalScore(34);
    EXPECT_EQ(seen.take(), Events{"ps 34"});
    model.scoreTextsChanged("34", "");
    EXPECT_FALSE(model.calculateEnabled());
    model.setOperativeScore(10);
    model.scoreTextsChanged("34", "10");
    EXPECT_EQ(seen.take(), (Events{"os 10", "calculate on", "risks cleared"}));

    model.withdrawOperativeScore();
    EXPECT_EQ(model.assessment().operativeScore, 0);
    EXPECT_EQ(seen.take(), (Events{"os withdrawn", "risks cleared", "calculate off"}));
}

TEST(EpisodeModel, DirectEntryJudgesEachBoxOnItsOwn) {
    struct Case {
        const char* ps;
        const char* os;
        int storedPs;
        int storedOs;
        bool calculate;
    };
    const Case cases[] = {
        {"34", "10", 34, 10, true}, {"300", "10", 0, 10, false}, {"34", "", 34, 0, false},
        {"0", "10", 0, 10, false},  {"3x", "10", 0, 10, false},  {"255", "255", 255, 255, true},
    };
    for (const Case& c : cases) {
        EpisodeModel model;
        model.startEpisode(true);
        model.scoreTextsChanged(c.ps, c.os);
        EXPECT_EQ(model.assessment().physiologicalScore, c.storedPs) << c.ps;
        EXPECT_EQ(model.assessment().operativeScore, c.storedOs) << c.os;
        EXPECT_EQ(model.calculateEnabled(), c.calculate) << c.ps << " " << c.os;
    }
}

TEST(EpisodeModel, CalculateResetsTheDetailsAndEnablesTheReportOnlyWithBothTotals) {
    EpisodeModel model;
    Recorder seen(model);
    model.setDetails(somePatient());
    model.setDetailsShown();

    model.setPhysiologicalScore(34);
    seen.take();
    EXPECT_FALSE(model.calculate());
    EXPECT_EQ(seen.take(), Events{"details reset"});
    EXPECT_EQ(model.details().name, "");
    EXPECT_FALSE(model.DetailsShown());
    EXPECT_EQ(model.assessment().risk(RiskKind::PossumMortality), 0.0);

    model.setOperativeScore(10);
    seen.take();
    EXPECT_TRUE(model.calculate());
    EXPECT_EQ(seen.take(), (Events{"details reset", "report on", "add on"}));
    for (std::size_t kind = 0; kind < caldrin::kRiskKindCount; ++kind)
        EXPECT_GT(model.assessment().risk(RiskKind(kind)), 0.0);

    // A total withdrawn afterwards: Calculate refuses and takes the report
    // away, but a record may still be added for the risks already shown.
    model.withdrawPhysiologicalScore();
    seen.take();
    EXPECT_FALSE(model.calculate());
    EXPECT_EQ(seen.take(), (Events{"details reset", "report off"}));
    EXPECT_TRUE(model.addToFileEnabled());
}

TEST(EpisodeModel, ChangingAScoreAsksForTheDetailsAgainAndKeepsThem) {
    EpisodeModel model;
    model.setPhysiologicalScore(34);
    model.setOperativeScore(10);
    ASSERT_TRUE(model.calculate());
    model.setDetails(somePatient());
    model.setDetailsShown();

    model.startScoreChange();
    EXPECT_FALSE(model.DetailsShown());
    EXPECT_FALSE(model.reportEnabled());
    EXPECT_TRUE(model.addToFileEnabled());
    EXPECT_EQ(model.details().name, "Ann");

    model.startEpisode(false);
    EXPECT_FALSE(model.addToFileEnabled());
    EXPECT_EQ(model.details().name, "");
}
