// SPDX-License-Identifier: GPL-3.0-or-later
// The model update's document: written and read back whole, every damaged or
// foreign file refused with its reason, and the updated risk with its
// interval against hand-worked figures.

#include "modelupdate/modelupdate.h"
#include "modelupdate/sha256.h"

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

using Json = nlohmann::json;
using riskmodels::ModelId;

TEST(Sha256, DigestsOfTheStandardsExamples) {
    // FIPS 180-4 examples; the third needs a second block for its length.
    EXPECT_EQ(sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(sha256Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(sha256Hex(std::string(1000000, 'a')),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

ModelUpdate sampleUpdate() {
    ModelUpdate u;
    u.model = ModelId::PPossum1996Mortality;
    u.method = Method::LogisticRecalibration;
    u.coefficients = {0.3, 0.8};
    u.covariance = {{0.01, 0.002}, {0.002, 0.004}};
    u.episodes = 2400;
    u.events = 130;
    u.from = {2025, 1, 1};
    u.to = {2025, 12, 31};
    u.unit = "Ward 7, St Elsewhere";
    u.created = "2026-01-05T09:30:00Z";
    u.programVersion = "3.0";
    u.inputFiles = {{"audit 2025.csv", 123456, 2500}};
    u.closedTest = {
        {Method::Original, Method::LogisticRecalibration, 41.5, 2, 9.7e-10},
        {Method::RecalibrationInTheLarge, Method::LogisticRecalibration, 6.1, 1, 0.0135}};
    return u;
}

Json sampleJson() {
    return Json::parse(updateDocument(sampleUpdate()).text);
}

// The document as text with its checksum made right again, so that the
// damage done is the only thing wrong with it.
std::string resealed(Json document) {
    document["checksum"] = "";
    document["checksum"] = contentChecksum(document.dump());
    return document.dump(2);
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

struct BadFile {
    std::string name;
    std::function<std::string()> text;
    std::string reason; // a part of the refusal
};

std::string damaged(const std::function<void(Json&)>& damage) {
    Json document = sampleJson();
    damage(document);
    return resealed(document);
}

void PrintTo(const BadFile& file, std::ostream* out) {
    *out << file.name;
}

class BadUpdateFile : public ::testing::TestWithParam<BadFile> {};

TEST_P(BadUpdateFile, IsRefusedWholeWithItsReason) {
    const ReadUpdate read = readUpdate(GetParam().text());
    EXPECT_FALSE(read.update);
    EXPECT_NE(read.refusal.find(GetParam().reason), std::string::npos) << read.refusal;
}

std::vector<BadFile> badFiles() {
    std::vector<BadFile> files = {
        {"Empty", [] { return std::string(); }, "cut short"},
        {"Truncated",
         [] {
             const std::string text = updateDocument(sampleUpdate()).text;
             return text.substr(0, text.size() / 2);
         },
         "cut short"},
        {"NotJson", [] { return std::string("model,method\n"); }, "not JSON"},
        {"BareNaN",
         [] {
             std::string text = updateDocument(sampleUpdate()).text;
             const auto at = text.find("0.3");
             return text.replace(at, 3, "NaN");
         },
         "not JSON"},
        {"InfiniteCoefficient",
         [] {
             std::string text = resealed(sampleJson());
             const auto at = text.find("0.3");
             return text.replace(at, 3, "1e999");
         },
         "not finite"},
        {"InfiniteCovariance",
         [] {
             std::string text = resealed(sampleJson());
             const auto at = text.find("0.004");
             return text.replace(at, 5, "-1e999");
         },
         "not finite"},
        {"Array", [] { return std::string("[1, 2]"); }, "not a JSON object"},
        {"OtherFormat", [] { return damaged([](Json& d) { d["format"] = "other"; }); },
         "not a model update"},
        {"UnknownVersion", [] { return damaged([](Json& d) { d["schema_version"] = 2; }); },
         "schema version 2 is unknown"},
        {"VersionAsText", [] { return damaged([](Json& d) { d["schema_version"] = "1"; }); },
         "\"schema_version\" is not a whole number"},
        {"ExtraField", [] { return damaged([](Json& d) { d["note"] = "edited"; }); },
         "\"note\" is not part of version 1"},
        {"UnknownModel", [] { return damaged([](Json& d) { d["model"] = "euroscore"; }); },
         "\"euroscore\" is not one this program knows"},
        {"UnknownMethod", [] { return damaged([](Json& d) { d["method"] = "bayes"; }); },
         "\"bayes\" is unknown"},
        {"TermsOfAnotherMethod", [] { return damaged([](Json& d) { d["method"] = "revision"; }); },
         "\"terms\""},
        {"CoefficientAsText", [] { return damaged([](Json& d) { d["coefficients"][0] = "0.3"; }); },
         "\"coefficients\" is not a list of numbers"},
        {"CoefficientMissing", [] { return damaged([](Json& d) { d["coefficients"].erase(1); }); },
         "2 coefficients"},
        {"CovarianceNotSquare",
         [] { return damaged([](Json& d) { d["covariance"][1].erase(0); }); }, "2 x 2"},
        {"CovarianceNotSymmetric",
         [] { return damaged([](Json& d) { d["covariance"][0][1] = 0.003; }); }, "symmetric"},
        {"CovarianceNotPositiveDefinite",
         [] {
             return damaged([](Json& d) {
                 d["covariance"] =
                     Json::array({Json::array({0.01, 0.02}), Json::array({0.02, 0.01})});
             });
         },
         "not positive definite"},
        {"NegativeEpisodes", [] { return damaged([](Json& d) { d["episodes"] = -5; }); },
         "\"episodes\" is not a whole number"},
        {"FractionalEvents", [] { return damaged([](Json& d) { d["events"] = 12.5; }); },
         "\"events\" is not a whole number"},
        {"MoreEventsThanEpisodes", [] { return damaged([](Json& d) { d["events"] = 5000; }); },
         "more events than episodes"},
        {"DateNotReal", [] { return damaged([](Json& d) { d["to"] = "2025-02-30"; }); },
         "not real dates"},
        {"PeriodBackwards", [] { return damaged([](Json& d) { d["to"] = "2024-12-31"; }); },
         "does not run forward"},
        {"UnitAsNumber", [] { return damaged([](Json& d) { d["unit"] = 7; }); },
         "\"unit\" is not text"},
        {"UnitOverLines", [] { return damaged([](Json& d) { d["unit"] = "Ward\n7"; }); },
         "unit's name"},
        {"CreatedNotUtc", [] { return damaged([](Json& d) { d["created"] = "5 Jan 2026"; }); },
         "UTC time"},
        {"NoInputFile", [] { return damaged([](Json& d) { d["input_files"] = Json::array(); }); },
         "no input file"},
        {"InputFileWithoutSize",
         [] { return damaged([](Json& d) { d["input_files"][0].erase("bytes"); }); },
         "\"bytes\" is missing in an input file"},
        {"TestBackwards",
         [] { return damaged([](Json& d) { d["closed_test"][0]["kept"] = "revision"; }); },
         "closed testing procedure"},
        {"TestPAboveOne", [] { return damaged([](Json& d) { d["closed_test"][1]["p"] = 1.5; }); },
         "closed testing procedure"},
        {"BadChecksum",
         [] {
             Json d = sampleJson();
             d["coefficients"][0] = 0.31;
             return d.dump(2);
         },
         "checksum does not match"},
    };
    // Each field missing in turn.
    const Json sample = sampleJson();
    for (const auto& [name, value] : sample.items()) {
        const std::string field = name;
        files.push_back(
            {"Missing_" + field,
             [field] {
                 Json d = sampleJson();
                 d.erase(field);
                 return field == "checksum" ? d.dump(2) : resealed(d);
             },
             field == "format" ? "not a model update" : "\"" + field + "\" is missing"});
    }
    return files;
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

TEST(ApplyUpdate, ClampsTheLogitOfARiskOfOneAsTheAnalysisDoes) {
    EXPECT_NEAR(clampedLogit(1.0), std::log((1 - 1e-6) / 1e-6), 1e-9);
    EXPECT_NEAR(clampedLogit(0.0), -std::log((1 - 1e-6) / 1e-6), 1e-9);
}

} // namespace
} // namespace caldrin::modelupdate
