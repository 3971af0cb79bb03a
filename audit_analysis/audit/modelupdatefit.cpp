// SPDX-License-Identifier: GPL-3.0-or-later
#include "audit/modelupdatefit.h"
#include "audit/calibration.h"
#include "audit/logisticfit.h"
#include "audit/statistics.h"

#include <Eigen/Dense>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <tuple>

namespace caldrin::audit {

namespace {

using modelupdate::Method;

constexpr const char* kNoFiniteSolution = "the fit has no finite solution (the outcomes are "
                                          "separated by its terms) or did not converge";

// Episodes alike in everything a fit uses, counted by outcome.
struct Group {
    double risk = 0;
    double logit = 0;
    double physiologicalScore = 0;
    double operativeScore = 0;
    double events = 0;
    double trials = 0;
};

std::vector<Group> grouped(std::span<const UpdateObservation> observations) {
    std::map<std::tuple<double, int, int>, std::pair<std::uint64_t, std::uint64_t>> counts;
    for (const UpdateObservation& o : observations) {
        auto& [events, trials] = counts[{o.risk, o.physiologicalScore, o.operativeScore}];
        events += o.event;
        ++trials;
    }
    std::vector<Group> groups;
    groups.reserve(counts.size());
    for (const auto& [key, count] : counts) {
        const auto& [risk, ps, os] = key;
        groups.push_back({risk, modelupdate::clampedLogit(risk), static_cast<double>(ps),
                          static_cast<double>(os), static_cast<double>(count.first),
                          static_cast<double>(count.second)});
    }
    return groups;
}

// The columns and offset of a method's linear predictor for one group.
Eigen::VectorXd design(Method method, bool withOperative, const Group& g) {
    switch (method) {
    case Method::Original:
        return Eigen::VectorXd(0);
    case Method::RecalibrationInTheLarge:
        return Eigen::VectorXd::Ones(1);
    case Method::LogisticRecalibration: {
        Eigen::VectorXd x(2);
        x << 1, g.logit;
        return x;
    }
    case Method::Revision: {
        Eigen::VectorXd x(withOperative ? 3 : 2);
        x(0) = 1;
        x(1) = g.physiologicalScore;
        if (withOperative)
            x(2) = g.operativeScore;
        return x;
    }
    }
    return {};
}

double offset(Method method, const Group& g) {
    return method == Method::Original || method == Method::RecalibrationInTheLarge ? g.logit : 0;
}

// A fit whose coefficients run off (separation) or whose information matrix
// is singular has no estimate and says why.
UpdateCandidate fitMethod(Method method, bool withOperative, const std::vector<Group>& groups) {
    UpdateCandidate candidate;
    candidate.method = method;
    const auto rows = static_cast<Eigen::Index>(groups.size());
    const Eigen::Index k = design(method, withOperative, Group{}).size();
    GroupedOutcomes data;
    data.design.resize(rows, k);
    data.offset.resize(rows);
    data.events.resize(rows);
    data.trials.resize(rows);
    for (Eigen::Index i = 0; i < rows; ++i) {
        const Group& g = groups[static_cast<std::size_t>(i)];
        data.design.row(i) = design(method, withOperative, g).transpose();
        data.offset[i] = offset(method, g);
        data.events[i] = g.events;
        data.trials[i] = g.trials;
    }
    Eigen::VectorXd start = Eigen::VectorXd::Zero(k);
    if (method == Method::LogisticRecalibration)
        start(1) = 1; // start from the original model
    const LogisticEstimate estimate = fitLogistic(data, std::move(start));
    candidate.iterations = estimate.iterations;
    switch (estimate.failure) {
    case FitFailure::None:
        for (Eigen::Index r = 0; r < k; ++r) {
            candidate.coefficients.push_back(estimate.coefficients(r));
            std::vector<double> row;
            for (Eigen::Index c = 0; c < k; ++c)
                row.push_back(estimate.covariance(r, c));
            candidate.covariance.push_back(std::move(row));
        }
        candidate.logLikelihood = estimate.logLikelihood;
        break;
    case FitFailure::SingularAtStart:
        candidate.missing = "the fit is singular: its terms cannot be told apart in these episodes";
        break;
    case FitFailure::SingularAtEstimate:
        candidate.missing = "the fit is singular at its estimate";
        break;
    case FitFailure::SingularOnTheWay: // the information vanishing towards separation
    case FitFailure::Unbounded:
    case FitFailure::NotConverged:
        candidate.missing = kNoFiniteSolution;
        break;
    }
    return candidate;
}

std::size_t termCount(const UpdateCandidate& c) {
    return c.coefficients.size();
}

} // namespace

const UpdateCandidate* UpdateFit::candidate(modelupdate::Method method) const {
    for (const UpdateCandidate& c : candidates)
        if (c.method == method)
            return &c;
    return nullptr;
}

bool offersRevision(Model model) {
    return !isStoredModel(model) && modelEntry(model).usesOperativeScore;
}

UpdateFit fitUpdate(Model model, std::span<const UpdateObservation> observations) {
    UpdateFit fit;
    fit.model = model;
    fit.episodes = observations.size();
    for (const UpdateObservation& o : observations)
        fit.events += o.event;
    const std::uint64_t nonEvents = fit.episodes - fit.events;
    const std::vector<Group> groups = grouped(observations);
    const bool withOperative = modelEntry(model).usesOperativeScore;

    std::vector<Method> methods = {Method::Original, Method::RecalibrationInTheLarge,
                                   Method::LogisticRecalibration};
    if (offersRevision(model))
        methods.push_back(Method::Revision);
    for (const Method method : methods) {
        UpdateCandidate candidate;
        if (fit.events == 0 || nonEvents == 0) {
            candidate.method = method;
            candidate.missing = fit.episodes == 0 ? "there are no episodes to fit"
                                : fit.events == 0 ? "no episode had the event"
                                                  : "every episode had the event";
        } else {
            candidate = fitMethod(method, withOperative, groups);
        }
        fit.candidates.push_back(std::move(candidate));
    }
    // The logistic recalibration's own obstacles, said as the analysis says them.
    if (fit.events > 0 && nonEvents > 0) {
        std::vector<RiskGroup> riskGroups;
        for (const Group& g : groups)
            riskGroups.push_back({g.risk, static_cast<std::uint64_t>(g.events),
                                  static_cast<std::uint64_t>(g.trials - g.events)});
        std::sort(riskGroups.begin(), riskGroups.end(),
                  [](const RiskGroup& a, const RiskGroup& b) { return a.risk < b.risk; });
        if (std::string obstacle = calibrationFitObstacle(riskGroups); !obstacle.empty()) {
            UpdateCandidate& recalibration = fit.candidates[2];
            recalibration.coefficients.clear();
            recalibration.covariance.clear();
            recalibration.logLikelihood.reset();
            recalibration.missing = obstacle;
        }
    }

    const std::uint64_t smaller = std::min(fit.events, nonEvents);
    if (smaller < kFewestEventsForUpdate) {
        fit.reason = "no update: " + std::to_string(fit.events) + " events and " +
                     std::to_string(nonEvents) + " episodes without one, fewer than " +
                     std::to_string(kFewestEventsForUpdate) +
                     " of either, are too few to estimate even the overall level";
        return fit;
    }
    // The most extensive method allowed that could be fitted.
    Method largestAllowed = smaller < kFewEvents ? Method::RecalibrationInTheLarge : methods.back();
    const UpdateCandidate* largest = nullptr;
    for (const UpdateCandidate& c : fit.candidates)
        if (c.logLikelihood && c.method != Method::Original &&
            static_cast<int>(c.method) <= static_cast<int>(largestAllowed))
            largest = &c;
    if (!largest) {
        fit.reason = "no update: " + fit.candidates[1].missing;
        return fit;
    }
    fit.largestTested = largest->method;
    if (smaller < kFewEvents && methods.back() != Method::RecalibrationInTheLarge)
        fit.reason = "with fewer than " + std::to_string(kFewEvents) +
                     " events or episodes without one, only recalibration-in-the-large may be "
                     "chosen";
    else if (largest->method != methods.back())
        fit.reason = std::string(modelupdate::methodTitle(methods.back())) +
                     " could not be fitted, so the tests ran against " +
                     std::string(modelupdate::methodTitle(largest->method));
    // Closed testing: each less extensive method against the most extensive,
    // least extensive first; the first that the data do not reject is kept.
    for (const UpdateCandidate& c : fit.candidates) {
        if (&c == largest)
            break;
        if (!c.logLikelihood)
            continue;
        modelupdate::LikelihoodRatioTest test;
        test.kept = c.method;
        test.against = largest->method;
        test.statistic = std::max(0.0, 2 * (*largest->logLikelihood - *c.logLikelihood));
        test.degreesOfFreedom = static_cast<int>(termCount(*largest) - termCount(c));
        test.p = chiSquareUpperTail(test.statistic, test.degreesOfFreedom);
        fit.closedTest.push_back(test);
        if (test.p >= kClosedTestLevel) {
            fit.chosen = c.method;
            return fit;
        }
    }
    fit.chosen = largest->method;
    return fit;
}

UpdateFit fitUpdate(const AuditData& data, Model model, const std::optional<Date>& from,
                    const std::optional<Date>& to, std::vector<UpdateObservation>* fitted) {
    const std::int32_t first = from ? dayNumber(*from) : INT32_MIN;
    const std::int32_t last = to ? dayNumber(*to) : INT32_MAX;
    std::vector<UpdateObservation> observations;
    std::uint64_t undated = 0;
    std::int32_t earliest = INT32_MAX, latest = INT32_MIN;
    for (const Episode& e : data.episodes()) {
        const int y = e.outcome(model);
        if (y < 0 || e.physiologicalScore == 0 || e.operativeScore == 0)
            continue;
        if (e.day == Episode::kNoDay) {
            ++undated;
            continue;
        }
        if (e.day < first || e.day > last)
            continue;
        earliest = std::min(earliest, e.day);
        latest = std::max(latest, e.day);
        observations.push_back({e.risk(model), e.physiologicalScore, e.operativeScore, y == 1});
    }
    UpdateFit fit = fitUpdate(model, observations);
    fit.undatedLeftOut = undated;
    fit.from =
        from ? from
             : (observations.empty() ? std::nullopt : std::optional(dateFromDayNumber(earliest)));
    fit.to =
        to ? to : (observations.empty() ? std::nullopt : std::optional(dateFromDayNumber(latest)));
    if (fitted)
        *fitted = std::move(observations);
    return fit;
}

namespace {

// Episodes of one predicted risk and one outcome.
struct Alike {
    double predicted = 0;
    bool event = false;
    std::uint64_t count = 0;
};

// The episodes ordered by predicted risk in tenths, those of one predicted
// risk kept together in the tenth their middle falls in. Split at the edge
// of a tenth, a run of equal risks (the scores take few values) would hand
// its episodes without the event to one point and those with it to the
// next, drawing a miscalibration that is not there.
std::vector<CalibrationGroup> tenthsOf(std::vector<Alike> rows) {
    std::sort(rows.begin(), rows.end(),
              [](const Alike& a, const Alike& b) { return a.predicted < b.predicted; });
    std::uint64_t n = 0;
    for (const Alike& row : rows)
        n += row.count;
    std::vector<CalibrationGroup> groups;
    CalibrationGroup group;
    double sum = 0;
    std::uint64_t tenth = 0;
    const auto close = [&] {
        if (group.episodes > 0) {
            group.predicted = sum / double(group.episodes);
            group.observed = double(group.events) / double(group.episodes);
            groups.push_back(group);
        }
        group = {};
        sum = 0;
    };
    std::uint64_t before = 0;
    for (std::size_t i = 0; i < rows.size();) {
        std::uint64_t count = 0, events = 0;
        const double predicted = rows[i].predicted;
        for (; i < rows.size() && rows[i].predicted == predicted; ++i) {
            count += rows[i].count;
            events += rows[i].event ? rows[i].count : 0;
        }
        if (count == 0)
            continue;
        const std::uint64_t itsTenth = std::min<std::uint64_t>(9, (10 * before + 5 * count) / n);
        if (itsTenth != tenth)
            close();
        tenth = itsTenth;
        group.episodes += count;
        group.events += events;
        sum += double(count) * predicted;
        before += count;
    }
    close();
    return groups;
}

} // namespace

std::vector<CalibrationGroup> calibrationByTenths(std::vector<std::pair<double, bool>> predicted) {
    std::vector<Alike> rows;
    rows.reserve(predicted.size());
    for (const auto& [risk, event] : predicted)
        rows.push_back({risk, event, 1});
    return tenthsOf(std::move(rows));
}

ApparentCalibration apparentCalibration(const UpdateFit& fit,
                                        std::span<const UpdateObservation> observations) {
    // Worked out once for each risk and scores: a unit's episodes share a
    // few thousand of them.
    const std::vector<Group> groups = grouped(observations);
    const auto tenths = [&groups](const auto& predictedOf) {
        std::vector<Alike> rows;
        rows.reserve(2 * groups.size());
        for (const Group& g : groups) {
            const double predicted = predictedOf(g);
            rows.push_back({predicted, false, std::uint64_t(g.trials - g.events)});
            rows.push_back({predicted, true, std::uint64_t(g.events)});
        }
        return tenthsOf(std::move(rows));
    };
    ApparentCalibration calibration;
    calibration.published = tenths([](const Group& g) { return g.risk; });
    const UpdateCandidate* chosen = fit.chosen ? fit.candidate(*fit.chosen) : nullptr;
    if (chosen) {
        modelupdate::ModelUpdate update; // the equation alone: no period or provenance needed
        update.model = modelEntry(fit.model).id;
        update.method = chosen->method;
        update.coefficients = chosen->coefficients;
        update.covariance = chosen->covariance;
        calibration.updated = tenths([&update](const Group& g) {
            return modelupdate::applyUpdateToRisk(update, g.risk, g.physiologicalScore,
                                                  g.operativeScore)
                .risk;
        });
    }
    return calibration;
}

namespace {

std::string number(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string pValue(double p) {
    return p < 0.001 ? "p < 0.001" : "p = " + number("%.3f", p);
}

} // namespace

std::string updateFitText(const UpdateFit& fit) {
    const riskmodels::RiskModel& entry = modelEntry(fit.model);
    std::string text = "Model update: " + std::string(entry.title) + "\n";
    text += "Episodes fitted: " + std::to_string(fit.episodes) + ", " + std::to_string(fit.events) +
            " with the outcome (" + std::string(entry.outcome) + ")";
    if (fit.from && fit.to)
        text += ", " + isoDate(*fit.from) + " to " + isoDate(*fit.to);
    text += "\n";
    if (fit.undatedLeftOut > 0)
        text += "Left out: " + std::to_string(fit.undatedLeftOut) +
                " counted episodes without a readable date of procedure, which cannot be "
                "placed in the fit period\n";
    text += "\nCandidates (L: the published equation's logit of the risk):\n";
    for (const UpdateCandidate& c : fit.candidates) {
        text += "  " + std::string(modelupdate::methodTitle(c.method)) + ": ";
        if (!c.logLikelihood) {
            text += "not fitted: " + c.missing + "\n";
            continue;
        }
        const std::vector<std::string_view> names = modelupdate::coefficientNames(c.method, entry);
        for (std::size_t i = 0; i < c.coefficients.size(); ++i)
            text += std::string(names[i]) + " " + number("%.4f", c.coefficients[i]) + " (SE " +
                    number("%.4f", std::sqrt(c.covariance[i][i])) + "), ";
        text += "log-likelihood " + number("%.2f", *c.logLikelihood) + "\n";
    }
    if (fit.largestTested) {
        text += "\nClosed testing procedure (Vergouwe et al. 2017): likelihood-ratio tests "
                "against " +
                std::string(modelupdate::methodTitle(*fit.largestTested)) +
                " at the 5% level, least extensive first; the first not rejected is kept:\n";
        for (const modelupdate::LikelihoodRatioTest& t : fit.closedTest)
            text += "  " + std::string(modelupdate::methodTitle(t.kept)) + ": chi-square " +
                    number("%.2f", t.statistic) + " on " + std::to_string(t.degreesOfFreedom) +
                    " df, " + pValue(t.p) +
                    (t.p >= kClosedTestLevel ? ": not rejected, kept\n" : ": rejected\n");
    }
    if (!fit.reason.empty())
        text += "\nNote: " + fit.reason + "\n";
    text += fit.chosen ? "\nChosen: " + std::string(modelupdate::methodTitle(*fit.chosen)) + "\n"
                       : std::string("\nNo update is chosen.\n");
    return text;
}

std::optional<modelupdate::ModelUpdate> chosenUpdate(const UpdateFit& fit,
                                                     const UpdateProvenance& provenance) {
    if (!fit.chosen || !fit.from || !fit.to)
        return std::nullopt;
    const UpdateCandidate* chosen = fit.candidate(*fit.chosen);
    if (!chosen)
        return std::nullopt;
    modelupdate::ModelUpdate update;
    update.model = modelEntry(fit.model).id;
    update.method = *fit.chosen;
    update.coefficients = chosen->coefficients;
    update.covariance = chosen->covariance;
    update.episodes = fit.episodes;
    update.events = fit.events;
    update.from = *fit.from;
    update.to = *fit.to;
    update.unit = provenance.unit;
    update.created = provenance.created;
    update.programVersion = provenance.programVersion;
    update.inputFiles = provenance.inputFiles;
    update.closedTest = fit.closedTest;
    return update;
}

} // namespace caldrin::audit
