// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Fitting a model update on the unit's own episodes: the original model,
// recalibration-in-the-large, logistic recalibration and, for the equations
// the analysis computes from both scores, revision; the choice among them by
// the closed testing procedure of Vergouwe et al. (Stat Med
// 2017;36:4529-4539), held back by how many events the fit rests on.

#include "audit/auditanalysis.h"
#include "modelupdate/modelupdate.h"

#include <optional>
#include <span>
#include <string>
#include <vector>

namespace caldrin::audit {

// Below this many events (or episodes without the event) nothing is
// updated; below kFewEvents (100) of either, recalibration-in-the-large is
// the most that may be chosen.
inline constexpr std::uint64_t kFewestEventsForUpdate = 20;
// The closed test's level for each likelihood-ratio test.
inline constexpr double kClosedTestLevel = 0.05;

// One counted episode as a fit sees it.
struct UpdateObservation {
    double risk = 0; // the model's predicted risk, as the analysis takes it
    std::uint8_t physiologicalScore = 0;
    std::uint8_t operativeScore = 0;
    bool event = false;
};

struct UpdateCandidate {
    modelupdate::Method method = modelupdate::Method::Original;
    std::vector<double> coefficients;            // modelupdate::coefficientNames order
    std::vector<std::vector<double>> covariance; // inverse information at the estimate
    std::optional<double> logLikelihood;         // none when it could not be fitted
    std::string missing;                         // why it could not be fitted
    int iterations = 0;
};

struct UpdateFit {
    Model model = Model::PPossumMortality;
    std::uint64_t episodes = 0;
    std::uint64_t events = 0;
    // Counted episodes without a readable date of procedure: they cannot be
    // placed in the fit period, so they are not fitted on.
    std::uint64_t undatedLeftOut = 0;
    std::optional<Date> from; // the fit period: the range asked for, else the
    std::optional<Date> to;   // first and last dates of the episodes fitted
    // Original, recalibration-in-the-large, logistic recalibration, and
    // revision where offered, in that order.
    std::vector<UpdateCandidate> candidates;
    // The likelihood-ratio tests made, least extensive first.
    std::vector<modelupdate::LikelihoodRatioTest> closedTest;
    // The most extensive method the tests were run against.
    std::optional<modelupdate::Method> largestTested;
    // The method chosen, or none: no update (see `reason`).
    std::optional<modelupdate::Method> chosen;
    // In words: why nothing was chosen, or why the choice was limited.
    std::string reason;

    const UpdateCandidate* candidate(modelupdate::Method method) const;
};

// Revision (a + b PS (+ c OS), all refitted) is offered for the equations
// computed from both scores: there the original logit is exactly linear in
// the scores, so recalibration is nested in revision and the likelihood-ratio
// tests compare nested models. For an equation of the physiological score
// alone revision is logistic recalibration again, and a stored risk (written
// to four decimals) is not exactly linear in the scores.
bool offersRevision(Model model);

UpdateFit fitUpdate(Model model, std::span<const UpdateObservation> observations);

// The model's counted episodes (outcome known, both scores present) dated
// within [from, to] (either may be open). `fitted`, when given, receives the
// episodes fitted on.
UpdateFit fitUpdate(const AuditData& data, Model model, const std::optional<Date>& from,
                    const std::optional<Date>& to,
                    std::vector<UpdateObservation>* fitted = nullptr);

// One group of a calibration table: the mean predicted risk against the
// observed rate.
struct CalibrationGroup {
    double predicted = 0;
    double observed = 0;
    std::uint64_t episodes = 0;
    std::uint64_t events = 0;
};

// Observed against predicted in tenths of the episodes ordered by predicted
// risk (the grouping of Hosmer and Lemeshow's deciles of risk), so that each
// point rests on about as many episodes as the next. Episodes of one
// predicted risk stay in one tenth, the one their middle falls in; so few
// distinct risks, or fewer than ten episodes, give fewer groups.
std::vector<CalibrationGroup> calibrationByTenths(std::vector<std::pair<double, bool>> predicted);

// The calibration on the very episodes fitted: the published risk, and the
// chosen update's (empty when none is chosen). Apparent: an update always
// looks well calibrated on the data it was fitted on.
struct ApparentCalibration {
    std::vector<CalibrationGroup> published;
    std::vector<CalibrationGroup> updated;
};
ApparentCalibration apparentCalibration(const UpdateFit& fit,
                                        std::span<const UpdateObservation> observations);

// The fit for people: the episodes, each candidate's coefficients with
// their standard errors and log-likelihood, the tests, and the choice or why
// there is none. Lines end in "\n".
std::string updateFitText(const UpdateFit& fit);

// Where an update came from, beyond its fit.
struct UpdateProvenance {
    std::string unit;
    std::string created; // UTC, "2026-12-11T08:57:00Z"
    std::string programVersion;
    std::vector<modelupdate::InputFile> inputFiles;
};

// The chosen update as a document; none when nothing was chosen.
std::optional<modelupdate::ModelUpdate> chosenUpdate(const UpdateFit& fit,
                                                     const UpdateProvenance& provenance);

} // namespace caldrin::audit
