// SPDX-License-Identifier: GPL-3.0-or-later
// The model update's document: written and read back whole, every damaged or
// foreign file refused with its reason, and the updated risk with its
// interval against hand-worked figures.

#include "modelupdate/modelupdate.h"
#include "modelupdate/sha256.h"
#include "updatefixtures.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <unistd.h>

namespace caldrin::modelupdate {
namespace {

using riskmodels::ModelId;
using namespace caldrin::testing::updatefixtures;

TEST(Sha256, DigestsOfTheStandardsExamples) {
    // FIPS 180-4 examples; the third needs a second block for its length.
    EXPECT_EQ(sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(sha256Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(sha256Hex(std::string(1000000, 'a')),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(UpdateDocument, ReadsBackWhatWasWritten) {
    const WrittenUpdate written = updateDocument(sampleUpdate());
    ASSERT_TRUE(written.problem.empty()) << written.problem;
    const ReadUpdate read = readUpdate(written.text);
    ASSERT_TRUE(read.update) << read.refusal;
    EXPECT_EQ(*read.update, sampleUpdate());
    // Spacing is not content: the same document laid out otherwise still reads.
    EXPECT_TRUE(readUpdate(Json::parse(written.text).dump()).update);
    const Json document = Json::parse(written.text);
    EXPECT_EQ(document["schema_version"], 1);
    EXPECT_EQ(document["terms"], Json::array({"intercept", "slope"}));
}

TEST(UpdateDocument, WritesNothingAReaderWouldRefuse) {
    ModelUpdate notPositive = sampleUpdate();
    notPositive.covariance = {{0.01, 0.02}, {0.02, 0.01}};
    EXPECT_NE(updateDocument(notPositive).problem.find("positive definite"), std::string::npos);
    ModelUpdate badUnit = sampleUpdate();
    badUnit.unit = "Ward\xff";
    EXPECT_FALSE(updateDocument(badUnit).problem.empty());
    ModelUpdate tooFew = sampleUpdate();
    tooFew.coefficients = {0.3};
    EXPECT_FALSE(updateDocument(tooFew).problem.empty());
}

class BadUpdateFile : public ::testing::TestWithParam<BadFile> {};

TEST_P(BadUpdateFile, IsRefusedWholeWithItsReason) {
    const ReadUpdate read = readUpdate(GetParam().text());
    EXPECT_FALSE(read.update);
    EXPECT_NE(read.refusal.find(GetParam().reason), std::string::npos) << read.refusal;
}

INSTANTIATE_TEST_SUITE_P(Refused, BadUpdateFile, ::testing::ValuesIn(badFiles()),
                         [](const auto& info) { return info.param.name; });

TEST(UpdateFile, RefusesWhatIsNoUpdateFile) {
    EXPECT_NE(readUpdateFile("/nonexistent/update.json").refusal.find("cannot be read"),
              std::string::npos);
    EXPECT_NE(readUpdateFile("/dev/zero").refusal.find("not a regular file"), std::string::npos);
    const std::filesystem::path path = std::filesystem::temp_directory_path() /
                                       ("caldrin-update-" + std::to_string(::getpid()) + ".json");
    {
        std::ofstream out(path);
        out << std::string(kLargestFile + 1, ' ');
    }
    EXPECT_NE(readUpdateFile(path.string()).refusal.find("larger"), std::string::npos);
    {
        std::ofstream out(path, std::ios::trunc);
        out << updateDocument(sampleUpdate()).text;
    }
    EXPECT_TRUE(readUpdateFile(path.string()).update);
    std::filesystem::remove(path);
}

// P-POSSUM for PS 30, OS 15: logit p = -9.37 + 0.19 x 30 + 0.15 x 15 = -1.42.
TEST(ApplyUpdate, GivesTheUpdatedRiskAndItsIntervalForEachMethod) {
    ModelUpdate u = sampleUpdate();
    u.method = Method::RecalibrationInTheLarge;
    u.coefficients = {-1.0};
    u.covariance = {{0.04}};
    UpdatedRisk r = applyUpdate(u, 30, 15);
    EXPECT_NEAR(r.published, 1 / (1 + std::exp(1.42)), 1e-12);
    EXPECT_NEAR(r.risk, 0.08166025546159472, 1e-12);
    EXPECT_NEAR(*r.lower, 0.056679537822443525, 1e-12);
    EXPECT_NEAR(*r.upper, 0.1162935640067404, 1e-12);

    // Var(alpha + beta L) = [1, L] Sigma [1, L]'.
    u = sampleUpdate();
    r = applyUpdate(u, 30, 15);
    EXPECT_NEAR(r.risk, 0.3023778984210021, 1e-12);
    EXPECT_NEAR(*r.lower, 0.25843366187117717, 1e-12);
    EXPECT_NEAR(*r.upper, 0.3502650375792419, 1e-12);

    u.model = ModelId::PPossum1998Mortality;
    u.method = Method::Revision;
    u.coefficients = {-8, 0.15, 0.14};
    u.covariance = {{0.25, -0.002, -0.003}, {-0.002, 0.0001, 0}, {-0.003, 0, 0.0002}};
    r = applyUpdate(u, 30, 15);
    EXPECT_NEAR(r.risk, 0.19781611144141825, 1e-12);
    EXPECT_NEAR(*r.lower, 0.0979766024544064, 1e-12);
    EXPECT_NEAR(*r.upper, 0.3589122898158374, 1e-12);

    u.method = Method::Original;
    u.coefficients.clear();
    u.covariance.clear();
    r = applyUpdate(u, 30, 15);
    EXPECT_EQ(r.risk, r.published);
    EXPECT_FALSE(r.lower);
}

TEST(UpdateTitle, NamesTheModelUnitPeriodAndCounts) {
    ModelUpdate u = sampleUpdate();
    EXPECT_EQ(updateTitle(u), "P-POSSUM mortality, updated on Ward 7, St Elsewhere, "
                              "1 Jan 2025\u201331 Dec 2025 (2400 episodes, 130 deaths)");
    u.model = ModelId::PossumMorbidity;
    u.unit.clear();
    u.to = {2026, 3, 9};
    EXPECT_EQ(updateTitle(u), "POSSUM morbidity, updated on an unnamed unit, "
                              "1 Jan 2025\u20139 Mar 2026 (2400 episodes, 130 complications)");
}

TEST(ApplyUpdate, ClampsTheLogitOfARiskOfOneAsTheAnalysisDoes) {
    EXPECT_NEAR(clampedLogit(1.0), std::log((1 - 1e-6) / 1e-6), 1e-9);
    EXPECT_NEAR(clampedLogit(0.0), -std::log((1 - 1e-6) / 1e-6), 1e-9);
}

} // namespace
} // namespace caldrin::modelupdate
