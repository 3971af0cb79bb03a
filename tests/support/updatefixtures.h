// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A model update that reads back whole, and a table of damaged or foreign
// update files, each with a part of the reason every program must refuse it
// for. Plain C++: the window-free and the window tests share it.

#include "modelupdate/modelupdate.h"

#include <nlohmann/json.hpp>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace caldrin::testing::updatefixtures {

using Json = nlohmann::json;
using modelupdate::contentChecksum;
using modelupdate::Method;
using modelupdate::ModelUpdate;
using modelupdate::updateDocument;

inline ModelUpdate sampleUpdate() {
    ModelUpdate u;
    u.model = riskmodels::ModelId::PPossum1996Mortality;
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

inline Json sampleJson() {
    return Json::parse(updateDocument(sampleUpdate()).text);
}

// The document as text with its checksum made right again, so that the
// damage done is the only thing wrong with it.
inline std::string resealed(Json document) {
    document["checksum"] = "";
    document["checksum"] = contentChecksum(document.dump());
    return document.dump(2);
}

struct BadFile {
    std::string name;
    std::function<std::string()> text;
    std::string reason; // a part of the refusal
};

inline std::string damaged(const std::function<void(Json&)>& damage) {
    Json document = sampleJson();
    damage(document);
    return resealed(document);
}

inline void PrintTo(const BadFile& file, std::ostream* out) {
    *out << file.name;
}

inline std::vector<BadFile> badFiles() {
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

} // namespace caldrin::testing::updatefixtures
