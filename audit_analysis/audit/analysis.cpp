// SPDX-License-Identifier: GPL-3.0-or-later
#include "audit/auditanalysis.h"
#include "audit/calibration.h"
#include "audit/completeness.h"
#include "audit/funnel.h"
#include "audit/runlength.h"
#include "audit/statistics.h"
#include "audit/text.h"

#include <boost/math/distributions/normal.hpp>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <future>
#include <limits>
#include <utility>

namespace caldrin::audit {

namespace {

constexpr std::size_t kRiskSteps = 10001; // 0.0000 .. 1.0000

double fraction(std::uint64_t tenThousandths) {
    return static_cast<double>(tenThousandths) / 10000.0;
}

// Sorts the episodes by day, keeping their order within a day and putting
// those without a date last: a counting sort, linear in the episodes, when
// their days span no more than a few years per thousand episodes (a file
// with far-flung dates is left to a comparison sort). False when not done.
bool sortByCountingDays(const std::vector<Episode>& episodes, std::vector<std::uint32_t>& order) {
    std::int32_t first = INT32_MAX;
    std::int32_t last = INT32_MIN;
    for (const std::uint32_t i : order) {
        const std::int32_t day = episodes[i].day;
        if (day != Episode::kNoDay) {
            first = std::min(first, day);
            last = std::max(last, day);
        }
    }
    if (first > last)
        return true; // no dates: the order stands
    const std::uint64_t span =
        static_cast<std::uint64_t>(static_cast<std::int64_t>(last) - first) + 1;
    if (span > std::max<std::uint64_t>(order.size(), 1 << 16))
        return false;
    // start[d]: where the first episode of day first + d goes; the undated follow the last day.
    std::vector<std::uint32_t> start(span + 1, 0);
    for (const std::uint32_t i : order) {
        const std::int32_t day = episodes[i].day;
        ++start[day == Episode::kNoDay ? span : static_cast<std::uint64_t>(day - first)];
    }
    std::uint32_t before = 0;
    for (std::uint32_t& slot : start)
        before += std::exchange(slot, before);
    std::vector<std::uint32_t> sorted(order.size());
    for (const std::uint32_t i : order) {
        const std::int32_t day = episodes[i].day;
        sorted[start[day == Episode::kNoDay ? span : static_cast<std::uint64_t>(day - first)]++] =
            i;
    }
    order.swap(sorted);
    return true;
}

// The episodes the analysis looks at, in time order: by date of procedure
// (stable), then those without a readable date in file order.
std::vector<std::uint32_t> timeOrder(const AuditData& data, const AnalysisOptions& options,
                                     AnalysisResult& result) {
    const std::vector<Episode>& episodes = data.episodes();
    const bool ranged = options.from || options.to;
    const std::int32_t from = options.from ? dayNumber(*options.from) : INT32_MIN;
    const std::int32_t to = options.to ? dayNumber(*options.to) : INT32_MAX;
    std::vector<std::uint32_t> order;
    order.reserve(episodes.size());
    for (std::size_t i = 0; i < episodes.size(); ++i) {
        const std::int32_t day = episodes[i].day;
        if (ranged && day == Episode::kNoDay) {
            ++result.undatedLeftOut;
            continue;
        }
        if (ranged && (day < from || day > to)) {
            ++result.outsideDateRange;
            continue;
        }
        order.push_back(static_cast<std::uint32_t>(i));
    }
    auto sortDay = [&](std::uint32_t i) {
        const std::int32_t day = episodes[i].day;
        return day == Episode::kNoDay ? std::numeric_limits<std::int64_t>::max()
                                      : static_cast<std::int64_t>(day);
    };
    auto earlier = [&](std::uint32_t l, std::uint32_t r) { return sortDay(l) < sortDay(r); };
    // Audit files are mostly written in order already.
    if (!std::is_sorted(order.begin(), order.end(), earlier) &&
        !sortByCountingDays(episodes, order))
        std::stable_sort(order.begin(), order.end(), earlier);
    result.episodes = episodes.size();
    result.inDateRange = order.size();
    return order;
}

// The distinct risks a model's episodes can have, ascending; an episode's
// risk is held as its step on this scale. Stored risks step by a
// ten-thousandth, so their sums stay exact whole numbers of steps; computed
// risks take the distinct values the episodes' score pairs give.
struct RiskScale {
    bool tenThousandths = true;
    std::vector<double> value; // by step

    std::size_t size() const { return tenThousandths ? kRiskSteps : value.size(); }
    double operator[](std::size_t step) const {
        return tenThousandths ? fraction(step) : value[step];
    }
    // Risk band k holds risks in (k/10, (k+1)/10], the first also 0.
    std::size_t band(std::size_t step) const {
        if (tenThousandths)
            return step == 0 ? 0 : (step - 1) / 1000;
        const double p = value[step];
        return p <= 0 ? 0
                      : std::min<std::size_t>(9, static_cast<std::size_t>(std::ceil(p * 10)) - 1);
    }
    std::size_t histogramBin(std::size_t step) const {
        const std::size_t bin =
            tenThousandths ? step / 100 : static_cast<std::size_t>(std::floor(value[step] * 100));
        return std::min<std::size_t>(RiskHistogram::kBins - 1, bin);
    }
};

struct Counted {
    RiskScale scale;
    std::vector<std::uint32_t> risk; // step on the scale, time order
    std::vector<std::uint8_t> outcome;
    std::vector<std::uint32_t> episode;
    std::vector<std::uint32_t> file; // the unit
    // A computed model's step for each score pair (physiological * 256 +
    // operative) of its counted episodes.
    std::vector<std::uint32_t> stepOfPair;
};

// Expected counts: whole ten-thousandths for stored risks, so that their
// sums are exact; plain sums of the risks for computed ones.
class ExpectedSum {
public:
    ExpectedSum() = default; // filled in before use
    explicit ExpectedSum(const RiskScale& scale)
        : scale_(&scale) {}
    void add(std::uint64_t count, std::size_t step) {
        if (scale_->tenThousandths)
            tenThousandths_ += count * step;
        else
            sum_ += static_cast<double>(count) * (*scale_)[step];
    }
    double total() const { return scale_->tenThousandths ? fraction(tenThousandths_) : sum_; }

private:
    const RiskScale* scale_ = nullptr;
    std::uint64_t tenThousandths_ = 0;
    double sum_ = 0;
};

// Expected minus observed deaths, kept the same way.
class VladSum {
public:
    explicit VladSum(const RiskScale& scale)
        : scale_(&scale) {}
    void add(std::size_t step, bool event) {
        if (scale_->tenThousandths)
            tenThousandths_ += static_cast<std::int64_t>(step) - (event ? 10000 : 0);
        else
            sum_ += (*scale_)[step] - (event ? 1.0 : 0.0);
    }
    double total() const {
        return scale_->tenThousandths ? static_cast<double>(tenThousandths_) / 10000.0 : sum_;
    }

private:
    const RiskScale* scale_;
    std::int64_t tenThousandths_ = 0;
    double sum_ = 0;
};

// A computed model's scale: every risk its counted episodes' score pairs
// give, and each episode's step. A risk depends only on the pair, so the
// work is per pair present (at most 256 x 256), not per episode.
// `counted.risk` comes in holding each episode's score pair.
void placeComputedRisks(Model model, Counted& counted) {
    constexpr std::size_t kPairs = 256 * 256;
    std::vector<std::uint8_t> present(kPairs, 0);
    for (const std::uint32_t pair : counted.risk)
        present[pair] = 1;
    const riskmodels::RiskModel& entry = modelEntry(model);
    std::vector<double> riskOfPair(kPairs, 0.0);
    std::vector<double>& value = counted.scale.value;
    for (std::size_t pair = 0; pair < kPairs; ++pair) {
        if (!present[pair])
            continue;
        riskOfPair[pair] = riskmodels::riskFromScores(entry, static_cast<double>(pair / 256),
                                                      static_cast<double>(pair % 256));
        value.push_back(riskOfPair[pair]);
    }
    std::sort(value.begin(), value.end());
    value.erase(std::unique(value.begin(), value.end()), value.end());
    counted.scale.tenThousandths = false;
    std::vector<std::uint32_t>& stepOfPair = counted.stepOfPair;
    stepOfPair.assign(kPairs, 0);
    for (std::size_t pair = 0; pair < kPairs; ++pair) {
        if (present[pair])
            stepOfPair[pair] = static_cast<std::uint32_t>(
                std::lower_bound(value.begin(), value.end(), riskOfPair[pair]) - value.begin());
    }
    for (std::uint32_t& risk : counted.risk)
        risk = stepOfPair[risk];
}

Counted countedEpisodes(const AuditData& data, std::span<const std::uint32_t> order, Model model,
                        ModelResult* result) {
    const std::vector<Episode>& episodes = data.episodes();
    const auto m = static_cast<std::size_t>(model);
    const bool stored = isStoredModel(model);
    Counted counted;
    counted.risk.reserve(order.size());
    counted.outcome.reserve(order.size());
    counted.episode.reserve(order.size());
    counted.file.reserve(order.size());
    // One pass over the episodes gathers all that the model's figures need
    // of them: in time order they lie scattered through memory.
    for (const std::uint32_t i : order) {
        const Episode& e = episodes[i];
        const int y = e.outcome(model);
        if (y < 0) {
            if (result)
                ++result->excludedUnknownOutcome;
            continue;
        }
        if (e.physiologicalScore == 0 || e.operativeScore == 0) {
            if (result)
                ++result->excludedNotScored;
            continue;
        }
        counted.risk.push_back(stored
                                   ? e.riskTenThousandths[m]
                                   : std::uint32_t{e.physiologicalScore} * 256 + e.operativeScore);
        counted.outcome.push_back(static_cast<std::uint8_t>(y));
        counted.episode.push_back(i);
        counted.file.push_back(e.file);
    }
    if (!stored)
        placeComputedRisks(model, counted);
    return counted;
}

// Thins the paths as they are made: each stretch of `seriesStretch`
// episodes keeps the points where the two CUSUMs and the VLAD are lowest and
// highest, its last point and every signal, so that a line drawn through
// them has the unthinned line's extent in each stretch.
class SeriesThinner {
public:
    SeriesThinner(std::uint64_t episodes, std::size_t maxPoints, std::vector<TimePoint>& out)
        : stretch_(seriesStretch(episodes, maxPoints))
        , out_(out) {}

    void add(const TimePoint& p) {
        if (stretch_ == 1) {
            out_.push_back(p);
            return;
        }
        if (count_ == 0) {
            cusumLow_ = cusumHigh_ = vladLow_ = vladHigh_ = improvementLow_ = improvementHigh_ = p;
        } else {
            if (p.improvement < improvementLow_.improvement)
                improvementLow_ = p;
            if (p.improvement > improvementHigh_.improvement)
                improvementHigh_ = p;
            if (p.cusum < cusumLow_.cusum)
                cusumLow_ = p;
            if (p.cusum > cusumHigh_.cusum)
                cusumHigh_ = p;
            if (p.vlad < vladLow_.vlad)
                vladLow_ = p;
            if (p.vlad > vladHigh_.vlad)
                vladHigh_ = p;
        }
        if (p.signal || p.improvementSignal)
            kept_.push_back(p);
        last_ = p;
        if (++count_ == stretch_)
            flush();
    }

    void finish() {
        if (count_ > 0)
            flush();
    }

private:
    void flush() {
        kept_.insert(kept_.end(), {cusumLow_, cusumHigh_, vladLow_, vladHigh_, improvementLow_,
                                   improvementHigh_, last_});
        std::sort(kept_.begin(), kept_.end(),
                  [](const TimePoint& l, const TimePoint& r) { return l.position < r.position; });
        kept_.erase(std::unique(kept_.begin(), kept_.end(),
                                [](const TimePoint& l, const TimePoint& r) {
                                    return l.position == r.position;
                                }),
                    kept_.end());
        out_.insert(out_.end(), kept_.begin(), kept_.end());
        kept_.clear();
        count_ = 0;
    }

    std::uint64_t stretch_;
    std::vector<TimePoint>& out_;
    std::vector<TimePoint> kept_;
    std::uint64_t count_ = 0;
    TimePoint cusumLow_, cusumHigh_, vladLow_, vladHigh_, improvementLow_, improvementHigh_, last_;
};

// How many of a model's counted episodes had the event, and how many not,
// at each step of its risk scale.
struct RiskCounts {
    std::vector<std::uint64_t> events;
    std::vector<std::uint64_t> nonEvents;
    std::vector<RiskGroup> groups; // the steps that occur, ascending
    std::uint64_t observed = 0;
};

RiskCounts countByRisk(const Counted& counted) {
    const RiskScale& scale = counted.scale;
    RiskCounts counts;
    counts.events.assign(scale.size(), 0);
    counts.nonEvents.assign(scale.size(), 0);
    for (std::size_t i = 0; i < counted.risk.size(); ++i)
        (counted.outcome[i] ? counts.events : counts.nonEvents)[counted.risk[i]] += 1;
    for (std::size_t t = 0; t < scale.size(); ++t) {
        if (counts.events[t] == 0 && counts.nonEvents[t] == 0)
            continue;
        counts.groups.push_back({scale[t], counts.events[t], counts.nonEvents[t]});
        counts.observed += counts.events[t];
    }
    return counts;
}

// Observed against expected overall and in ten risk bands, the Brier score
// and the histogram of predicted risks.
void measureObservedExpected(const Counted& counted, const RiskCounts& counts,
                             ModelResult& result) {
    const RiskScale& scale = counted.scale;
    const std::size_t n = counted.risk.size();
    ExpectedSum expected(scale);
    std::array<std::uint64_t, 10> bandN{}, bandObserved{};
    std::array<ExpectedSum, 10> bandExpected;
    bandExpected.fill(ExpectedSum(scale));
    double brierSum = 0;
    for (std::size_t t = 0; t < scale.size(); ++t) {
        const std::uint64_t events = counts.events[t];
        const std::uint64_t nonEvents = counts.nonEvents[t];
        if (events == 0 && nonEvents == 0)
            continue;
        const double p = scale[t];
        const std::uint64_t count = events + nonEvents;
        expected.add(count, t);
        const std::size_t band = scale.band(t);
        bandN[band] += count;
        bandObserved[band] += events;
        bandExpected[band].add(count, t);
        brierSum += static_cast<double>(events) * (1 - p) * (1 - p) +
                    static_cast<double>(nonEvents) * p * p;
        const std::size_t bin = scale.histogramBin(t);
        result.histogram.withEvent[bin] += events;
        result.histogram.withoutEvent[bin] += nonEvents;
    }
    result.overall = observedExpected(n, counts.observed, expected.total());
    for (std::size_t k = 0; k < 10; ++k) {
        result.bands[k].from = static_cast<double>(k) / 10;
        result.bands[k].to = static_cast<double>(k + 1) / 10;
        result.bands[k].figures =
            observedExpected(bandN[k], bandObserved[k], bandExpected[k].total());
    }
    if (n > 0)
        result.brier = brierSum / static_cast<double>(n);
}

// AUROC with DeLong's interval, and the ROC curve when asked for.
void measureDiscrimination(const RiskCounts& counts, const AnalysisOptions& options,
                           ModelResult& result) {
    result.discrimination = discrimination(counts.groups);
    if (options.rocCurve)
        result.roc = rocCurve(counts.groups);
}

// A CUSUM's control limit: the one given, or one computed for the target
// run length from the model's own risk mix. False when cancelled.
bool setCusumLimit(const RiskCounts& counts, std::size_t n, const AnalysisOptions& options,
                   double oddsRatio, std::uint64_t seed, Cusum& cusum, const Progress& progress) {
    cusum.oddsRatio = oddsRatio;
    cusum.targetArl = options.targetArl;
    if (options.limit) {
        cusum.limit = options.limit;
        return true;
    }
    if (n == 0)
        return true;
    if (!riskMixCanSignal(counts.groups, oddsRatio)) {
        cusum.limitMissing = std::string(kCannotSignal);
        return true;
    }
    if (options.limitMethod == AnalysisOptions::LimitMethod::MarkovChain) {
        ComputedLimit computed =
            computeCusumLimit(counts.groups, oddsRatio, options.targetArl, progress);
        if (computed.cancelled)
            return false;
        cusum.limit = computed.limit;
        cusum.chainStates = computed.states;
        cusum.limitMissing = std::move(computed.missing);
        cusum.limitComputed = cusum.limit.has_value();
        return true;
    }
    bool cancelled = false;
    const Progress inner = [&](std::string_view stage, std::uint64_t done, std::uint64_t total) {
        if (progress && !progress(stage, done, total))
            cancelled = true;
        return !cancelled;
    };
    cusum.simulationRuns = simulationRunsFor(options.targetArl, options.simulationRuns);
    cusum.limit = simulateCusumLimit(counts.groups, oddsRatio, options.targetArl,
                                     cusum.simulationRuns, seed, inner);
    if (cancelled)
        return false;
    if (!cusum.limit)
        cusum.limitMissing = "the simulated CUSUM did not reach the in-control run length "
                             "within the work allowed";
    cusum.limitComputed = cusum.limit.has_value();
    return true;
}

// One risk-adjusted CUSUM followed episode by episode.
class CusumPath {
public:
    CusumPath(const RiskScale& scale, const RiskCounts& counts, Cusum& cusum)
        : cusum_(cusum)
        , eventWeight_(scale.size())
        , nonEventWeight_(scale.size()) {
        for (std::size_t t = 0; t < scale.size(); ++t) {
            if (counts.events[t] == 0 && counts.nonEvents[t] == 0)
                continue;
            eventWeight_[t] = cusumWeight(scale[t], true, cusum.oddsRatio);
            nonEventWeight_[t] = cusumWeight(scale[t], false, cusum.oddsRatio);
        }
    }
    // The value reached after this episode; `signal` tells whether it
    // reached the limit (the path then starts again from 0).
    double add(std::uint32_t step, bool event, bool& signal) {
        value_ = std::max(0.0, value_ + (event ? eventWeight_[step] : nonEventWeight_[step]));
        const double reached = value_;
        signal = cusum_.limit && value_ >= *cusum_.limit;
        if (signal)
            value_ = 0;
        return reached;
    }
    double value() const { return value_; }

private:
    Cusum& cusum_;
    std::vector<double> eventWeight_;
    std::vector<double> nonEventWeight_;
    double value_ = 0;
};

// The VLAD and the two CUSUMs episode by episode in time order: their final
// values, the CUSUMs' signals and, when asked for, the thinned paths.
void followOverTime(const AuditData& data, const Counted& counted, const RiskCounts& counts,
                    const AnalysisOptions& options, ModelResult& result) {
    const RiskScale& scale = counted.scale;
    const std::size_t n = counted.risk.size();
    CusumPath harm(scale, counts, result.cusum);
    CusumPath improvement(scale, counts, result.improvement);
    const bool keepSeries = options.maxSeriesPoints > 0;
    if (keepSeries)
        result.series.reserve(std::min(n, options.maxSeriesPoints + 16) + 1);
    SeriesThinner thinner(n, options.maxSeriesPoints, result.series);
    VladSum vlad(scale);
    auto signalAt = [&](std::size_t i) {
        const std::uint32_t e = counted.episode[i];
        return CusumSignal{i + 1, e, utf8FromCp1252(data.dateText(e))};
    };
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint32_t t = counted.risk[i];
        const bool event = counted.outcome[i] != 0;
        vlad.add(t, event);
        bool signal = false;
        bool improvementSignal = false;
        const double reached = harm.add(t, event, signal);
        const double improvementReached = improvement.add(t, event, improvementSignal);
        if (signal)
            result.cusum.signals.push_back(signalAt(i));
        if (improvementSignal)
            result.improvement.signals.push_back(signalAt(i));
        const std::int32_t day = data.episodes()[counted.episode[i]].day;
        result.undated += day == Episode::kNoDay;
        if (keepSeries)
            thinner.add(
                {i + 1, day, vlad.total(), reached, signal, improvementReached, improvementSignal});
    }
    if (keepSeries)
        thinner.finish();
    result.cusum.finalValue = harm.value();
    result.improvement.finalValue = improvement.value();
    result.vlad = vlad.total();
}

// What pairs a model's AUROC with another's: each episode's DeLong
// placement, found from its step on the model's risk scale.
struct Placements {
    Model model = Model::PossumMortality;
    std::optional<double> auroc;
    bool stored = true;
    std::vector<std::uint32_t> stepOfPair; // computed models
    std::vector<double> eventPlacement;    // by step: share of non-events below, ties half
    std::vector<double> nonEventPlacement; // by step: share of events above, ties half

    std::uint32_t step(const Episode& e) const {
        if (stored)
            return e.riskTenThousandths[static_cast<std::size_t>(model)];
        return stepOfPair[std::size_t{e.physiologicalScore} * 256 + e.operativeScore];
    }
};

Placements placementsOf(Model model, const Counted& counted, const RiskCounts& counts,
                        const std::optional<double>& auroc) {
    Placements placements;
    placements.model = model;
    placements.auroc = auroc;
    placements.stored = counted.scale.tenThousandths;
    placements.stepOfPair = counted.stepOfPair;
    const std::size_t steps = counted.scale.size();
    placements.eventPlacement.assign(steps, 0.0);
    placements.nonEventPlacement.assign(steps, 0.0);
    std::uint64_t positives = 0, negatives = 0;
    for (std::size_t t = 0; t < steps; ++t) {
        positives += counts.events[t];
        negatives += counts.nonEvents[t];
    }
    if (positives == 0 || negatives == 0)
        return placements;
    double negativesBelow = 0;
    double positivesAbove = static_cast<double>(positives);
    for (std::size_t t = 0; t < steps; ++t) {
        const auto pos = static_cast<double>(counts.events[t]);
        const auto neg = static_cast<double>(counts.nonEvents[t]);
        positivesAbove -= pos;
        placements.eventPlacement[t] =
            (negativesBelow + 0.5 * neg) / static_cast<double>(negatives);
        placements.nonEventPlacement[t] =
            (positivesAbove + 0.5 * pos) / static_cast<double>(positives);
        negativesBelow += neg;
    }
    return placements;
}

// Why the DeLong variance of a difference between two AUROCs is zero. A
// model that separates the episodes with and without the outcome completely
// (AUROC 1, or 0) places every episode at the end of the other class, so its
// AUROC has no variance; the difference then has none when the other model's
// AUROC has none either (every risk alike gives AUROC 0.5 and no variance).
std::string zeroVarianceReason(double first, double second) {
    const auto separates = [](double auroc) { return auroc == 1 || auroc == 0; };
    const std::string separation = "the episodes with and without the outcome completely";
    if (separates(first) && separates(second) && first == second)
        return "both models separate " + separation + " (AUROC " + shortestText(first) +
               "), so the difference has no variance to test against";
    if (separates(first) || separates(second))
        return "one model separates " + separation + " (AUROC " +
               shortestText(separates(first) ? first : second) +
               "), so its AUROC has no variance and the difference's variance is zero: no z or p";
    if (first == second)
        return "the two models rank every pair of an episode with and one without the outcome "
               "alike, so the difference has no spread to test against";
    return "the difference's variance is zero (every episode's placement differs between the two "
           "models by the same amount), so no z or p";
}

// The paired DeLong test for every pair of models of one outcome. Models of
// one outcome count the same episodes (the outcome recorded, both scores
// entered), so one pass over them gathers the covariances of all pairs.
void compareAurocs(const AuditData& data, std::span<const std::uint32_t> order, Outcome outcome,
                   std::span<const Placements> models, std::vector<AurocComparison>& out) {
    const std::size_t k = models.size();
    if (k < 2)
        return;
    std::uint64_t positives = 0, negatives = 0;
    // Sums of products of centred placements, by class.
    std::vector<double> eventSums(k * k, 0.0), nonEventSums(k * k, 0.0);
    const bool defined = std::all_of(models.begin(), models.end(),
                                     [](const Placements& p) { return p.auroc.has_value(); });
    std::vector<double> centred(k);
    for (const std::uint32_t i : order) {
        const Episode& e = data.episodes()[i];
        const int y = outcome == Outcome::Mortality ? e.mortality : e.morbidity;
        if (y < 0 || e.physiologicalScore == 0 || e.operativeScore == 0)
            continue;
        (y ? positives : negatives) += 1;
        if (!defined)
            continue;
        std::vector<double>& sums = y ? eventSums : nonEventSums;
        for (std::size_t m = 0; m < k; ++m) {
            const std::uint32_t t = models[m].step(e);
            centred[m] = (y ? models[m].eventPlacement[t] : models[m].nonEventPlacement[t]) -
                         *models[m].auroc;
        }
        for (std::size_t a = 0; a < k; ++a)
            for (std::size_t b = a; b < k; ++b)
                sums[a * k + b] += centred[a] * centred[b];
    }
    const auto m1 = static_cast<double>(positives);
    const auto m0 = static_cast<double>(negatives);
    for (std::size_t a = 0; a < k; ++a) {
        for (std::size_t b = a + 1; b < k; ++b) {
            AurocComparison c;
            c.first = models[a].model;
            c.second = models[b].model;
            c.n = positives + negatives;
            if (positives == 0 || negatives == 0) {
                c.missing =
                    positives == 0 ? "no episode had the outcome" : "every episode had the outcome";
            } else if (positives < 2 || negatives < 2) {
                c.missing = "fewer than two episodes with or without the outcome";
            } else {
                auto covariance = [&](std::size_t r, std::size_t s) {
                    const std::size_t at = std::min(r, s) * k + std::max(r, s);
                    return eventSums[at] / (m1 - 1) / m1 + nonEventSums[at] / (m0 - 1) / m0;
                };
                const double variance = covariance(a, a) + covariance(b, b) - 2 * covariance(a, b);
                c.difference = *models[a].auroc - *models[b].auroc;
                if (variance > 1e-300 && std::sqrt(variance) > 1e-12 * std::fabs(*c.difference)) {
                    const double se = std::sqrt(variance);
                    c.interval = Interval{*c.difference - kZ975 * se, *c.difference + kZ975 * se};
                    c.z = *c.difference / se;
                    c.p = 2 * boost::math::cdf(boost::math::complement(
                                  boost::math::normal_distribution<double>(), std::fabs(*c.z)));
                } else {
                    c.missing = zeroVarianceReason(*models[a].auroc, *models[b].auroc);
                }
            }
            out.push_back(std::move(c));
        }
    }
}

// Every figure of one model. False when cancelled.
bool analyseModel(const AuditData& data, std::span<const std::uint32_t> order,
                  const AnalysisOptions& options, Model model, ModelResult& result,
                  Placements& placements, std::vector<UnitFigures>& units,
                  const Progress& progress) {
    result.model = model;
    result.outcome = modelOutcome(model);
    const Counted counted = countedEpisodes(data, order, model, &result);
    const std::size_t n = counted.risk.size();
    // Everything but the figures over time works from the counts by exact risk.
    const RiskCounts counts = countByRisk(counted);
    measureObservedExpected(counted, counts, result);
    measureDiscrimination(counts, options, result);
    result.calibration = calibrationFit(counts.groups);
    result.calibrationCurve = calibrationCurve(counts.groups);
    result.fewEvents = std::min(counts.observed, n - counts.observed) < kFewEvents;
    std::vector<double> riskOfStep(counted.scale.size());
    for (std::size_t t = 0; t < riskOfStep.size(); ++t)
        riskOfStep[t] = counted.scale[t];
    result.hosmerLemeshow = hosmerLemeshowByStep(counted.risk, counted.outcome, riskOfStep);
    const std::uint64_t seed = options.seed + static_cast<std::uint64_t>(model);
    // The two limits are independent: the improvement CUSUM's is worked out
    // on a second thread. Only this thread reports progress; the other stops
    // when this one is cancelled. The improvement CUSUM's simulation, where
    // asked for, draws numbers of its own.
    std::atomic<bool> stop{false};
    const Progress untilStopped = [&stop](std::string_view, std::uint64_t, std::uint64_t) {
        return !stop.load();
    };
    std::future<bool> improvement = std::async(std::launch::async, [&, n, seed] {
        return setCusumLimit(counts, n, options, 1 / options.oddsRatio, seed + kModelCount,
                             result.improvement, untilStopped);
    });
    const bool harmSet =
        setCusumLimit(counts, n, options, options.oddsRatio, seed, result.cusum, progress);
    if (!harmSet)
        stop = true;
    if (!improvement.get() || !harmSet)
        return false;
    followOverTime(data, counted, counts, options, result);
    placements = placementsOf(model, counted, counts, result.discrimination.auroc);

    // Per unit (input file).
    const std::size_t unitCount = data.files().size();
    std::vector<std::uint64_t> unitN(unitCount, 0), unitObserved(unitCount, 0);
    std::vector<ExpectedSum> unitExpected(unitCount, ExpectedSum(counted.scale));
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint32_t file = counted.file[i];
        ++unitN[file];
        unitObserved[file] += counted.outcome[i];
        unitExpected[file].add(1, counted.risk[i]);
    }
    units.clear();
    for (std::size_t u = 0; u < unitCount; ++u) {
        UnitFigures figures;
        figures.model = model;
        figures.n = unitN[u];
        figures.observed = unitObserved[u];
        figures.expected = unitExpected[u].total();
        units.push_back(figures);
    }
    return true;
}

// Places each unit on the model's funnel: exact Poisson limits, and the
// overdispersed limits when there are enough units and they spread beyond
// chance.
void placeOnFunnel(std::vector<UnitFigures*>& units, FunnelSummary& funnel) {
    std::vector<double> z;
    for (UnitFigures* u : units) {
        if (!(u->expected > 0))
            continue;
        const double e = u->expected;
        const auto o = static_cast<double>(u->observed);
        u->ratio = o / e;
        u->outside95 = *u->ratio < funnelLimit(e, kFunnel95Lower) ||
                       *u->ratio > funnelLimit(e, kFunnel95Upper);
        u->outside998 = *u->ratio < funnelLimit(e, kFunnel998Lower) ||
                        *u->ratio > funnelLimit(e, kFunnel998Upper);
        z.push_back((o - e) / std::sqrt(e));
    }
    if (z.size() < kFewestUnitsForOverdispersion)
        return;
    funnel.phi = overdispersion(z);
    funnel.overdispersionApplied = *funnel.phi > 1;
    if (!funnel.overdispersionApplied)
        return;
    for (UnitFigures* u : units) {
        if (!u->ratio)
            continue;
        const double half = kZ999 * std::sqrt(*funnel.phi / u->expected);
        u->outsideOverdispersed = std::fabs(*u->ratio - 1) > half;
    }
}

} // namespace

std::uint64_t seriesStretch(std::uint64_t episodes, std::size_t maxPoints) {
    if (maxPoints == 0 || episodes <= maxPoints)
        return 1;
    const std::uint64_t stretches = std::max<std::size_t>(1, maxPoints / 7);
    return (episodes + stretches - 1) / stretches;
}

AnalysisResult analyse(const AuditData& data, const AnalysisOptions& options,
                       const Progress& progress) {
    AnalysisResult result;
    const std::vector<std::uint32_t> order = timeOrder(data, options, result);
    if (options.today)
        result.completeness = measureCompleteness(data, order, *options.today, options.dueDays);
    std::uint64_t step = 0;
    std::vector<Placements> placements;
    // Units are the files read (a file given twice is one unit).
    std::vector<std::size_t> unitFiles;
    for (std::size_t f = 0; f < data.files().size(); ++f) {
        const FileSummary& file = data.files()[f];
        if (file.opened && !file.sameFileAs) {
            unitFiles.push_back(f);
            result.units.push_back({file.path, {}});
        }
    }
    for (const Model model : options.models) {
        if (progress && !progress("Analysing", step, options.models.size())) {
            result.cancelled = true;
            return result;
        }
        ModelResult modelResult;
        Placements modelPlacements;
        std::vector<UnitFigures> unitFigures;
        if (!analyseModel(data, order, options, model, modelResult, modelPlacements, unitFigures,
                          progress)) {
            result.cancelled = true;
            return result;
        }
        std::vector<UnitFigures*> onFunnel;
        for (std::size_t u = 0; u < unitFiles.size(); ++u) {
            result.units[u].models.push_back(unitFigures[unitFiles[u]]);
            onFunnel.push_back(&result.units[u].models.back());
        }
        placeOnFunnel(onFunnel, modelResult.funnel);
        result.models.push_back(std::move(modelResult));
        placements.push_back(std::move(modelPlacements));
        ++step;
    }
    for (const Outcome outcome : {Outcome::Morbidity, Outcome::Mortality}) {
        std::vector<Placements> ofOutcome;
        for (Placements& p : placements)
            if (modelOutcome(p.model) == outcome)
                ofOutcome.push_back(std::move(p));
        compareAurocs(data, order, outcome, ofOutcome, result.aurocComparisons);
    }
    if (progress)
        progress("Analysing", step, options.models.size());
    return result;
}

std::vector<double> predictedRisks(const AuditData& data, const AnalysisOptions& options,
                                   Model model) {
    AnalysisResult unused;
    const std::vector<std::uint32_t> order = timeOrder(data, options, unused);
    const Counted counted = countedEpisodes(data, order, model, nullptr);
    std::vector<double> risks;
    risks.reserve(counted.risk.size());
    for (const std::uint32_t t : counted.risk)
        risks.push_back(counted.scale[t]);
    return risks;
}

} // namespace caldrin::audit
