// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What an analysis finds: per model its figures (O:E, bands, discrimination,
// calibration, CUSUMs, funnel), the paired AUROC comparisons, units and the
// completeness of the outcomes.

#include "audit/dates.h"
#include "audit/models.h"
#include "audit/reading.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace caldrin::audit {

struct Interval {
    double lower = 0;
    double upper = 0;
};

// Fewer than this many events expected makes an observed-to-expected figure
// unreliable.
inline constexpr double kReliableExpected = 5.0;

struct ObservedExpected {
    std::uint64_t n = 0;
    std::uint64_t observed = 0;
    double expected = 0;              // sum of the predicted risks
    std::optional<double> ratio;      // observed / expected; none when expected is 0
    std::optional<Interval> interval; // exact Poisson 95% limits on observed, over expected
    // The observed rate observed / n with Wilson's score 95% limits; none when n is 0.
    std::optional<Interval> rateInterval;
    bool unreliable = true; // expected < kReliableExpected
};

struct RiskBand {
    double from = 0; // band holds from < p <= to (the first also p = 0)
    double to = 0;
    ObservedExpected figures;
};

struct Discrimination {
    std::optional<double> auroc; // none when a class is empty
    std::optional<double> standardError;
    std::optional<Interval> interval; // DeLong, 95%, clipped to [0, 1]
    bool unreliable = true;           // a class with fewer than 5 episodes
};

struct HosmerLemeshowGroup {
    std::uint64_t n = 0;
    std::uint64_t observed = 0;
    double expected = 0;
    double lowestRisk = 0;
    double highestRisk = 0;
};

struct HosmerLemeshow {
    std::optional<double> chiSquare; // none when n < 10
    int degreesOfFreedom = 8;
    std::optional<double> pValue;
    std::array<HosmerLemeshowGroup, 10> groups{};
    bool unreliable = true; // some group expects fewer than 5 events
};

// The logistic recalibration logit(P) = a + b logit(p) (the recalibration
// intercept a and the calibration slope b), and calibration-in-the-large:
// alpha in logit(P) = alpha + logit(p), the slope fixed at 1 (Van Calster et
// al., J Clin Epidemiol 2016;74:167-176). p is clamped to [1e-6, 1 - 1e-6].
// A fit that cannot be identified has no figures and says why.
struct Calibration {
    std::optional<double> intercept; // the recalibration intercept
    std::optional<double> slope;
    std::optional<Interval> interceptInterval;  // Wald 95%
    std::optional<Interval> slopeInterval;      // Wald 95%
    std::string missing;                        // why there is no intercept and slope
    std::optional<double> inTheLarge;           // alpha
    std::optional<Interval> inTheLargeInterval; // Wald 95%
    std::string inTheLargeMissing;
    int iterations = 0;
};

// The flexible calibration curve: logistic regression of the outcome on a
// restricted cubic spline of logit(p), and how far it lies from the diagonal
// (Austin and Steyerberg, Stat Med 2019;38:4051-4065).
struct CalibrationCurvePoint {
    double p = 0;        // predicted risk
    double observed = 0; // the curve at p
    double lower = 0;    // pointwise 95% limits
    double upper = 0;
};
struct CalibrationCurve {
    static constexpr int kPoints = 50;
    std::vector<double> knots;                 // on the logit scale
    std::vector<CalibrationCurvePoint> points; // kPoints, equally spaced in logit(p)
    // Over the episodes, of |curve(p) - p|: the mean (integrated calibration
    // index), the median, the 90th percentile and the largest.
    std::optional<double> ici;
    std::optional<double> e50;
    std::optional<double> e90;
    std::optional<double> emax;
    std::string missing; // why there is no curve
};

// Fewer episodes than this in the smaller outcome class make the calibration
// figures imprecise (Van Calster et al. 2016 ask for at least 100 of each).
inline constexpr std::uint64_t kFewEvents = 100;

struct CusumSignal {
    std::uint64_t position = 0; // 1-based, among the model's counted episodes in time order
    std::size_t episode = 0;    // index into AuditData::episodes()
    std::string date;           // DATE text, UTF-8
};

struct Cusum {
    double oddsRatio = 2.0;
    std::optional<double> limit; // none when it could not be computed
    bool limitComputed = false;  // true when computed for targetArl
    std::string limitMissing;    // why there is no limit, in words
    double targetArl = 0;
    int chainStates = 0;              // states of the Markov chain a computed limit rests on
    std::uint32_t simulationRuns = 0; // runs a simulated limit rests on
    double finalValue = 0;
    std::vector<CusumSignal> signals;
};

// One point of the paths over time, after the episode at `position`.
struct TimePoint {
    std::uint64_t position = 0; // 1-based
    std::int32_t day = Episode::kNoDay;
    double vlad = 0;  // cumulative expected minus observed
    double cusum = 0; // at a signal, the value that reached the limit; the
                      // next episode starts again from 0
    bool signal = false;
    // The improvement CUSUM, kept the same way (0 or above; charts draw it
    // below zero).
    double improvement = 0;
    bool improvementSignal = false;
};

// Point of the ROC curve at "p >= threshold counts as predicted".
struct RocPoint {
    double threshold = 0;
    double falsePositiveRate = 0;
    double truePositiveRate = 0;
};

// Predicted risks in 100 bins of 0.01 (the last holds 1.0), by outcome.
struct RiskHistogram {
    static constexpr std::size_t kBins = 100;
    std::array<std::uint64_t, kBins> withEvent{};
    std::array<std::uint64_t, kBins> withoutEvent{};
};

// How far the units spread beyond chance on a model's funnel plot:
// phi, the mean of the squared z-scores winsorised at the 10th and 90th
// percentiles, with at least kFewestUnitsForOverdispersion units.
inline constexpr std::size_t kFewestUnitsForOverdispersion = 10;
struct FunnelSummary {
    std::optional<double> phi;
    bool overdispersionApplied = false; // phi > 1: units are also judged on the widened limits
};

struct ModelResult {
    Model model = Model::PossumMorbidity;
    Outcome outcome = Outcome::Morbidity;
    std::uint64_t excludedUnknownOutcome = 0;
    std::uint64_t excludedNotScored = 0;
    ObservedExpected overall; // overall.n is the model's n
    std::array<RiskBand, 10> bands{};
    Discrimination discrimination;
    HosmerLemeshow hosmerLemeshow;
    Calibration calibration;
    CalibrationCurve calibrationCurve;
    std::optional<double> brier;
    // Fewer than kFewEvents events, or fewer than kFewEvents episodes without
    // one: every figure is then imprecise (validation studies want at least
    // 100 of each).
    bool fewEvents = true;
    double vlad = 0; // final value: expected minus observed
    Cusum cusum;     // looks for more events than predicted (odds ratio R)
    // Looks for fewer events than predicted: the same CUSUM with odds ratio
    // 1/R, its own limit (the one given, or computed for the same in-control
    // run length) and its own signals.
    Cusum improvement;
    FunnelSummary funnel;
    // Counted episodes without a readable date: they come last in time
    // order, so a chart by date leaves them off.
    std::uint64_t undated = 0;
    std::vector<TimePoint> series; // see AnalysisOptions::maxSeriesPoints
    std::vector<RocPoint> roc;     // from (0,0) to (1,1)
    RiskHistogram histogram;
};

// The paired DeLong test of two models' AUROCs over the episodes both
// count (DeLong, DeLong and Clarke-Pearson, Biometrics 1988;44:837-845).
struct AurocComparison {
    Model first = Model::PossumMortality;
    Model second = Model::PossumMortality;
    std::uint64_t n = 0;
    std::optional<double> difference; // first - second
    std::optional<Interval> interval; // 95%
    std::optional<double> z;
    std::optional<double> p; // two-sided
    std::string missing;     // why there are no figures
};

// One unit's observed against expected deaths for a model, placed on the
// funnel plot of O:E against the expected count (Spiegelhalter, Stat Med
// 2005;24:1185-1202).
struct UnitFigures {
    Model model = Model::PossumMortality;
    std::uint64_t n = 0;
    std::uint64_t observed = 0;
    double expected = 0;
    std::optional<double> ratio;       // O:E; none when nothing is expected
    bool outside95 = false;            // outside the exact Poisson 95% limits
    bool outside998 = false;           // outside the 99.8% limits
    bool outsideOverdispersed = false; // outside 1 +/- 3.090 sqrt(phi / E), when applied
};

struct Unit {
    std::string name;                // UTF-8
    std::vector<UnitFigures> models; // in the order of AnalysisResult::models
};

// Below this share of due episodes with a known outcome, O:E and the other
// figures rest on a selection of the patients and are not to be trusted.
inline constexpr double kCompleteShare = 0.95;

// Episodes by what is known of one outcome. An episode whose date of
// procedure cannot be read counts as due: its outcome is wanted whatever its
// date.
struct CompletenessCounts {
    std::uint64_t knownDue = 0;      // outcome "0" or "1", procedure due
    std::uint64_t knownNotDue = 0;   // outcome known before it was due
    std::uint64_t unknownDue = 0;    // outcome wanted now
    std::uint64_t unknownNotDue = 0; // follow-up period not yet over
    std::uint64_t unknownNoDate = 0; // of unknownDue, those without a readable date

    std::uint64_t known() const { return knownDue + knownNotDue; }
    std::uint64_t due() const { return knownDue + unknownDue; }
    std::uint64_t total() const { return known() + unknownDue + unknownNotDue; }
    // Of the due episodes, the share with a known outcome; none when none is due.
    std::optional<double> knownShareOfDue() const;
};

struct MonthCompleteness {
    int year = 0;
    int month = 0; // 1..12
    CompletenessCounts counts;
};

struct OutcomeCompleteness {
    Outcome outcome = Outcome::Morbidity;
    CompletenessCounts overall;
    std::vector<MonthCompleteness> byMonth; // months with episodes, in order
    // Fewer than kCompleteShare of the due episodes have a known outcome.
    bool incomplete() const;
};

struct Completeness {
    Date today;
    int dueDays = 30;
    std::array<OutcomeCompleteness, 2> outcomes; // morbidity, mortality
};

struct AnalysisResult {
    bool cancelled = false;
    std::uint64_t episodes = 0;    // all episodes read
    std::uint64_t inDateRange = 0; // episodes the analysis looked at
    std::uint64_t outsideDateRange = 0;
    std::uint64_t undatedLeftOut = 0; // unreadable DATE while a range was set
    std::vector<ModelResult> models;  // in the order of AnalysisOptions::models
    // Every pair of analysed models of the same outcome, in model order.
    std::vector<AurocComparison> aurocComparisons;
    std::vector<Unit> units; // see AnalysisOptions::units
    // Over the episodes in the date range; none without AnalysisOptions::today.
    std::optional<Completeness> completeness;
};

} // namespace caldrin::audit
