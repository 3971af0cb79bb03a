// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A model update: a published equation of the risk-model table corrected on
// a unit's own audit (recalibrated or revised), kept as one versioned JSON
// document with its provenance and a checksum over its content. Both the
// audit analysis (which writes and checks updates) and the calculator (which
// shows the updated risk) read it here, so both refuse the same files for the
// same reasons. A document is taken whole or not at all. The format is
// described in docs/model-update-format.md. Plain C++.

#include "auditformat/recorddate.h"
#include "riskmodels/riskmodels.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace caldrin::modelupdate {

// The one version of the document this program writes and reads.
inline constexpr int kSchemaVersion = 1;
inline constexpr std::string_view kFormatName = "caldrin-model-update";
// Larger files are refused unread: a real update is a few kilobytes.
inline constexpr std::uintmax_t kLargestFile = 1 << 20;

// From least to most extensive (Vergouwe et al., Stat Med 2017;36:4529-4539).
//   Original:                logit p' = L (nothing estimated)
//   RecalibrationInTheLarge: logit p' = alpha + L
//   LogisticRecalibration:   logit p' = alpha + beta L
//   Revision:                logit p' = a + b PS (+ c OS)
// L is the published equation's logit of p, p clamped to [1e-6, 1 - 1e-6].
enum class Method { Original, RecalibrationInTheLarge, LogisticRecalibration, Revision };
inline constexpr Method kMethods[] = {Method::Original, Method::RecalibrationInTheLarge,
                                      Method::LogisticRecalibration, Method::Revision};

// "original", "recalibration_in_the_large", "logistic_recalibration", "revision".
std::string_view methodKey(Method method);
// "the original model", "recalibration-in-the-large", "logistic recalibration",
// "model revision".
std::string_view methodTitle(Method method);
std::optional<Method> methodFromKey(std::string_view key);

// The names of the estimated coefficients, in the order of the document's
// coefficients and covariance: none; "intercept"; "intercept", "slope";
// "intercept", "physiological_score" (, "operative_score").
std::vector<std::string_view> coefficientNames(Method method, const riskmodels::RiskModel& model);

// The model's logit as the audit analysis takes it: p clamped to
// [1e-6, 1 - 1e-6], so that a risk of 0 or 1 stays finite.
double clampedLogit(double p);

const riskmodels::RiskModel* modelFromKey(std::string_view key);

struct InputFile {
    std::string name; // UTF-8, as given
    std::uint64_t bytes = 0;
    std::uint64_t records = 0;
    friend bool operator==(const InputFile&, const InputFile&) = default;
};

// One likelihood-ratio test of the closed testing procedure: the less
// extensive `kept` against the more extensive `against`.
struct LikelihoodRatioTest {
    Method kept = Method::Original;
    Method against = Method::Revision;
    double statistic = 0; // 2 (log L of `against` - log L of `kept`)
    int degreesOfFreedom = 1;
    double p = 1;
    friend bool operator==(const LikelihoodRatioTest&, const LikelihoodRatioTest&) = default;
};

struct ModelUpdate {
    riskmodels::ModelId model = riskmodels::ModelId::PPossum1996Mortality;
    Method method = Method::Original;
    std::vector<double> coefficients;
    std::vector<std::vector<double>> covariance; // k x k, k coefficients
    std::uint64_t episodes = 0;
    std::uint64_t events = 0;
    CalendarDate from; // the fit period's first and last dates of procedure
    CalendarDate to;
    std::string unit;           // UTF-8; may be empty
    std::string created;        // UTC, "2026-12-11T08:57:00Z"
    std::string programVersion; // of the program that fitted it
    std::vector<InputFile> inputFiles;
    std::vector<LikelihoodRatioTest> closedTest; // in the order they were made
    friend bool operator==(const ModelUpdate&, const ModelUpdate&) = default;
};

// The document with its checksum, or why this update cannot be written (the
// reasons a reader would refuse it for).
struct WrittenUpdate {
    std::string text;
    std::string problem;
};
WrittenUpdate updateDocument(const ModelUpdate& update);

// The update, or the reason it is refused whole, in one sentence.
struct ReadUpdate {
    std::optional<ModelUpdate> update;
    std::string refusal;
};
ReadUpdate readUpdate(std::string_view text);
// Reads a regular file of at most kLargestFile bytes, then as readUpdate.
ReadUpdate readUpdateFile(const std::string& path);

// The checksum a document's content should carry: "sha256:" and the digest of
// its compact form with sorted keys, the "checksum" field left out. Empty
// when the text is not a JSON object.
std::string contentChecksum(std::string_view documentText);

// How the calculator names an updated figure: "P-POSSUM mortality, updated on
// Ward 7, 1 Jan 2025–3 Dec 2025 (2400 episodes, 130 deaths)" (UTF-8; an
// unnamed unit is "an unnamed unit", a morbidity model counts
// "complications").
std::string updateTitle(const ModelUpdate& update);

// p' from the update's equation for one patient, with the 95% interval from
// the covariance on the logit scale (x' Sigma x with x = [1], [1, L] or
// [1, PS(, OS)]), back-transformed. The original model has no interval.
struct UpdatedRisk {
    double published = 0; // p from the published equation
    double risk = 0;      // p'
    std::optional<double> lower;
    std::optional<double> upper;
};
UpdatedRisk applyUpdate(const ModelUpdate& update, double physiologicalScore,
                        double operativeScore);
// The same with the published risk as given (the audit file's stored risk,
// which the update was fitted on) rather than worked out from the scores.
UpdatedRisk applyUpdateToRisk(const ModelUpdate& update, double publishedRisk,
                              double physiologicalScore, double operativeScore);

} // namespace caldrin::modelupdate
