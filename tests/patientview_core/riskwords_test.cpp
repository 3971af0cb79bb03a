// SPDX-License-Identifier: GPL-3.0-or-later
#include "patientview_core/riskwords.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace caldrin;
using namespace caldrin::riskwords;

namespace {

const riskmodels::RiskModel& possumMortality() {
    return riskmodels::model(riskmodels::ModelId::PossumMortality);
}

struct WordingCase {
    const char* name;
    double risk;
    int people;
    int icons;
    const char* sentence;
    const char* hundred;
};

class WordingTable : public ::testing::TestWithParam<WordingCase> {};

} // namespace

// The sentence, the picture's size and its filled icons for each risk, worked
// by hand: whole people, 1,000 people when the rarer side is under 1 in 100.
TEST_P(WordingTable, GivesTheSentenceAndTheIcons) {
    const WordingCase& c = GetParam();
    const auto f = naturalFrequency(c.risk);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->people, c.people);
    EXPECT_EQ(f->withOutcome, c.icons);
    EXPECT_EQ(frequencySentence(possumMortality(), c.risk).value_or("none"), c.sentence);
    EXPECT_EQ(hundredSentence(c.risk), c.hundred);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Risks, WordingTable, ::testing::Values(
    WordingCase{"r0_004", 0.004, 1000, 4,
        "Out of 1,000 people with the same findings having this operation, about 4 die within "
        "30 days and about 996 do not.", "That is fewer than 1 in 100."},
    WordingCase{"r0_009", 0.009, 1000, 9,
        "Out of 1,000 people with the same findings having this operation, about 9 die within "
        "30 days and about 991 do not.", "That is fewer than 1 in 100."},
    WordingCase{"r0_0149", 0.0149, 100, 1,
        "Out of 100 people with the same findings having this operation, about 1 dies within "
        "30 days and about 99 do not.", ""},
    WordingCase{"r0_12", 0.12, 100, 12,
        "Out of 100 people with the same findings having this operation, about 12 die within "
        "30 days and about 88 do not.", ""},
    WordingCase{"r0_5", 0.5, 100, 50,
        "Out of 100 people with the same findings having this operation, about 50 die within "
        "30 days and about 50 do not.", ""},
    WordingCase{"r0_991", 0.991, 1000, 991,
        "Out of 1,000 people with the same findings having this operation, about 991 die within "
        "30 days and about 9 do not.", "That is more than 99 in 100."},
    WordingCase{"r0_9996", 0.9996, 1000, 999,
        "Out of 1,000 people with the same findings having this operation, more than 999 die "
        "within 30 days.", "That is more than 99 in 100."},
    WordingCase{"r0_0004", 0.0004, 1000, 1,
        "Out of 1,000 people with the same findings having this operation, fewer than 1 dies "
        "within 30 days.", "That is fewer than 1 in 100."}),
    [](const ::testing::TestParamInfo<WordingCase>& info) { return std::string(info.param.name); });
// clang-format on

// Whatever the risk between 0 and 1, the picture never shows nobody or
// everybody, and the words never say "0 in", "about 0" or "100 in 100".
TEST(Wording, NeverSaysNoneOrAll) {
    for (double rare = 1e-9; rare <= 0.5; rare *= 1.07) {
        for (double risk : {rare, 1.0 - rare}) {
            const auto f = naturalFrequency(risk);
            ASSERT_TRUE(f) << risk;
            EXPECT_GE(f->withOutcome, 1) << risk;
            EXPECT_LE(f->withOutcome, f->people - 1) << risk;
            const std::string sentence = *frequencySentence(possumMortality(), risk);
            for (const char* never :
                 {"about 0 ", " 0 in", "about 100 die", "about 1,000", "100 in 100"})
                EXPECT_EQ(sentence.find(never), std::string::npos) << risk << ": " << sentence;
        }
    }
}

TEST(Wording, RefusesWhatIsNoRisk) {
    for (double risk : {std::numeric_limits<double>::quiet_NaN(), -0.01, 1.01,
                        std::numeric_limits<double>::infinity()}) {
        EXPECT_FALSE(naturalFrequency(risk)) << risk;
        EXPECT_FALSE(frequencySentence(possumMortality(), risk)) << risk;
        EXPECT_FALSE(shortFrequency(risk)) << risk;
        EXPECT_EQ(hundredSentence(risk), "") << risk;
    }
}

TEST(Wording, ShortFrequencies) {
    EXPECT_EQ(shortFrequency(0.1947), "about 19 in 100");
    EXPECT_EQ(shortFrequency(0.004), "about 4 in 1,000");
    EXPECT_EQ(shortFrequency(0.0001), "fewer than 1 in 1,000");
    EXPECT_EQ(shortFrequency(0.99999), "more than 999 in 1,000");
    EXPECT_EQ(countText(1000), "1,000");
    EXPECT_EQ(countText(12), "12");
}

// Every model's outcome is said in plain words of its own, from its outcome in
// the model table: P-POSSUM counts deaths in hospital, not within 30 days.
TEST(Wording, EveryModelHasPlainOutcomeWords) {
    for (const riskmodels::RiskModel& m : riskmodels::allModels()) {
        const OutcomeWords words = outcomeWords(m);
        EXPECT_EQ(words.plural.find('"'), std::string::npos) << m.title;
    }
    using riskmodels::ModelId;
    EXPECT_EQ(outcomeWords(riskmodels::model(ModelId::PPossum1996Mortality)).plural,
              "die in hospital after the operation");
    EXPECT_EQ(*frequencySentence(riskmodels::model(ModelId::PossumMorbidity), 0.8507),
              "Out of 100 people with the same findings having this operation, about 85 have a "
              "complication within 30 days and about 15 do not.");
}

TEST(Wording, PopulationAndUncertainty) {
    using riskmodels::ModelId;
    EXPECT_EQ(populationSentence(riskmodels::model(ModelId::PPossum1996Mortality)),
              "This figure was made for adults having general surgery, elective or emergency.");
    const std::string raaa = populationSentence(riskmodels::model(ModelId::RaaaPossumMortality));
    EXPECT_NE(raaa.find("ruptured abdominal aortic aneurysm"), std::string::npos);
    EXPECT_NE(raaa.find("It does not fit other operations."), std::string::npos);
    EXPECT_NE(uncertaintySentence(std::nullopt).find("estimates for groups of patients"),
              std::string::npos);
    EXPECT_EQ(uncertaintySentence(Interval{0.081, 0.165}),
              "For people like this one, the true figure is likely to lie between about 8 and "
              "about 17 in 100.");
}
