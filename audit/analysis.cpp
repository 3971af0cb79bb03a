// SPDX-License-Identifier: GPL-3.0-or-later
#include "audit/auditanalysis.h"
#include "audit/completeness.h"
#include "audit/statistics.h"
#include "audit/text.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace caldrin::audit {

namespace {

constexpr std::size_t kRiskSteps = 10001; // 0.0000 .. 1.0000
constexpr double kZ975 = 1.959963984540054;

double fraction(std::uint64_t tenThousandths) {
    return static_cast<double>(tenThousandths) / 10000.0;
}

ObservedExpected observedExpected(std::uint64_t n, std::uint64_t observed, double expected) {
    ObservedExpected figures;
    figures.n = n;
    figures.observed = observed;
    figures.expected = expected;
    if (expected > 0) {
        figures.ratio = static_cast<double>(observed) / figures.expected;
        figures.interval = poissonRatioInterval(observed, figures.expected);
    }
    figures.unreliable = figures.expected < kReliableExpected;
    return figures;
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
    if (!std::is_sorted(order.begin(), order.end(), earlier))
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
void placeComputedRisks(const std::vector<Episode>& episodes, Model model, Counted& counted) {
    constexpr std::size_t kPairs = 256 * 256;
    auto pairOf = [&](std::uint32_t i) {
        return std::size_t{episodes[i].physiologicalScore} * 256 + episodes[i].operativeScore;
    };
    std::vector<std::uint8_t> present(kPairs, 0);
    for (const std::uint32_t i : counted.episode)
        present[pairOf(i)] = 1;
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
    std::vector<std::uint32_t> stepOfPair(kPairs, 0);
    for (std::size_t pair = 0; pair < kPairs; ++pair) {
        if (present[pair])
            stepOfPair[pair] = static_cast<std::uint32_t>(
                std::lower_bound(value.begin(), value.end(), riskOfPair[pair]) - value.begin());
    }
    counted.risk.clear();
    counted.risk.reserve(counted.episode.size());
    for (const std::uint32_t i : counted.episode)
        counted.risk.push_back(stepOfPair[pairOf(i)]);
}

Counted countedEpisodes(const AuditData& data, std::span<const std::uint32_t> order, Model model,
                        ModelResult* result) {
    const std::vector<Episode>& episodes = data.episodes();
    const auto m = static_cast<std::size_t>(model);
    Counted counted;
    counted.risk.reserve(order.size());
    counted.outcome.reserve(order.size());
    counted.episode.reserve(order.size());
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
        if (isStoredModel(model))
            counted.risk.push_back(e.riskTenThousandths[m]);
        counted.outcome.push_back(static_cast<std::uint8_t>(y));
        counted.episode.push_back(i);
    }
    if (!isStoredModel(model))
        placeComputedRisks(episodes, model, counted);
    return counted;
}

// Thins the paths as they are made: each stretch of `seriesStretch`
// episodes keeps the points where the CUSUM and the VLAD are lowest and
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
            cusumLow_ = cusumHigh_ = vladLow_ = vladHigh_ = p;
        } else {
            if (p.cusum < cusumLow_.cusum)
                cusumLow_ = p;
            if (p.cusum > cusumHigh_.cusum)
                cusumHigh_ = p;
            if (p.vlad < vladLow_.vlad)
                vladLow_ = p;
            if (p.vlad > vladHigh_.vlad)
                vladHigh_ = p;
        }
        if (p.signal)
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
        kept_.insert(kept_.end(), {cusumLow_, cusumHigh_, vladLow_, vladHigh_, last_});
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
    TimePoint cusumLow_, cusumHigh_, vladLow_, vladHigh_, last_;
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
void measureDiscrimination(const RiskCounts& counts, std::size_t n, const AnalysisOptions& options,
                           ModelResult& result) {
    if (const auto roc = aurocDeLong(counts.groups)) {
        result.discrimination.auroc = roc->auroc;
        result.discrimination.standardError = roc->standardError;
        if (roc->standardError)
            result.discrimination.interval =
                Interval{std::max(0.0, roc->auroc - kZ975 * *roc->standardError),
                         std::min(1.0, roc->auroc + kZ975 * *roc->standardError)};
    }
    result.discrimination.unreliable = counts.observed < 5 || n - counts.observed < 5;
    if (options.rocCurve)
        result.roc = rocCurve(counts.groups);
}

// The CUSUM's control limit: the one given, or one simulated for the target
// run length from the model's own risk mix. False when cancelled.
bool setCusumLimit(const RiskCounts& counts, std::size_t n, const AnalysisOptions& options,
                   Model model, Cusum& cusum, const Progress& progress) {
    cusum.oddsRatio = options.oddsRatio;
    cusum.targetArl = options.targetArl;
    if (options.limit) {
        cusum.limit = options.limit;
        return true;
    }
    if (n == 0)
        return true;
    bool cancelled = false;
    const Progress inner = [&](std::string_view stage, std::uint64_t done, std::uint64_t total) {
        if (progress && !progress(stage, done, total))
            cancelled = true;
        return !cancelled;
    };
    cusum.simulationRuns = simulationRunsFor(options.targetArl, options.simulationRuns);
    if (riskMixCanSignal(counts.groups, options.oddsRatio)) {
        cusum.limit = simulateCusumLimit(counts.groups, options.oddsRatio, options.targetArl,
                                         cusum.simulationRuns,
                                         options.seed + static_cast<std::uint64_t>(model), inner);
        if (cancelled)
            return false;
        if (!cusum.limit)
            cusum.limitMissing = "the simulated CUSUM did not reach the in-control run length "
                                 "within the work allowed";
    } else {
        cusum.limitMissing = "every counted risk is 0 or 1, so the CUSUM can never rise "
                             "and no limit can be set";
    }
    cusum.limitComputed = cusum.limit.has_value();
    return true;
}

// The VLAD and the CUSUM episode by episode in time order: their final
// values, the CUSUM's signals and, when asked for, the thinned paths.
void followOverTime(const AuditData& data, const Counted& counted, const RiskCounts& counts,
                    const AnalysisOptions& options, ModelResult& result) {
    const RiskScale& scale = counted.scale;
    const std::size_t n = counted.risk.size();
    Cusum& cusum = result.cusum;
    std::vector<double> eventWeight(scale.size()), nonEventWeight(scale.size());
    for (std::size_t t = 0; t < scale.size(); ++t) {
        if (counts.events[t] == 0 && counts.nonEvents[t] == 0)
            continue;
        eventWeight[t] = cusumWeight(scale[t], true, options.oddsRatio);
        nonEventWeight[t] = cusumWeight(scale[t], false, options.oddsRatio);
    }
    const bool keepSeries = options.maxSeriesPoints > 0;
    if (keepSeries)
        result.series.reserve(std::min(n, options.maxSeriesPoints + 16) + 1);
    SeriesThinner thinner(n, options.maxSeriesPoints, result.series);
    double s = 0;
    VladSum vlad(scale);
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint32_t t = counted.risk[i];
        const bool event = counted.outcome[i] != 0;
        vlad.add(t, event);
        s = std::max(0.0, s + (event ? eventWeight[t] : nonEventWeight[t]));
        bool signal = false;
        const double reached = s;
        if (cusum.limit && s >= *cusum.limit) {
            signal = true;
            const std::uint32_t e = counted.episode[i];
            cusum.signals.push_back({i + 1, e, utf8FromCp1252(data.dateText(e))});
            s = 0;
        }
        if (keepSeries)
            thinner.add(
                {i + 1, data.episodes()[counted.episode[i]].day, vlad.total(), reached, signal});
    }
    if (keepSeries)
        thinner.finish();
    cusum.finalValue = s;
    result.vlad = vlad.total();
}

// Every figure of one model. False when cancelled.
bool analyseModel(const AuditData& data, std::span<const std::uint32_t> order,
                  const AnalysisOptions& options, Model model, ModelResult& result,
                  const Progress& progress) {
    result.model = model;
    result.outcome = modelOutcome(model);
    const Counted counted = countedEpisodes(data, order, model, &result);
    const std::size_t n = counted.risk.size();
    // Everything but the figures over time works from the counts by exact risk.
    const RiskCounts counts = countByRisk(counted);
    measureObservedExpected(counted, counts, result);
    result.fewEvents = std::min<std::uint64_t>(counts.observed, n - counts.observed) < 100;
    measureDiscrimination(counts, n, options, result);
    result.calibration = calibrationFit(counts.groups);
    std::vector<double> riskOfStep(counted.scale.size());
    for (std::size_t t = 0; t < riskOfStep.size(); ++t)
        riskOfStep[t] = counted.scale[t];
    result.hosmerLemeshow = hosmerLemeshowByStep(counted.risk, counted.outcome, riskOfStep);
    if (!setCusumLimit(counts, n, options, model, result.cusum, progress))
        return false;
    followOverTime(data, counted, counts, options, result);
    return true;
}

} // namespace

std::uint64_t seriesStretch(std::uint64_t episodes, std::size_t maxPoints) {
    if (maxPoints == 0 || episodes <= maxPoints)
        return 1;
    const std::uint64_t stretches = std::max<std::size_t>(1, maxPoints / 5);
    return (episodes + stretches - 1) / stretches;
}

AnalysisResult analyse(const AuditData& data, const AnalysisOptions& options,
                       const Progress& progress) {
    AnalysisResult result;
    const std::vector<std::uint32_t> order = timeOrder(data, options, result);
    if (options.today)
        result.completeness = measureCompleteness(data, order, *options.today, options.dueDays);
    std::uint64_t step = 0;
    for (const Model model : options.models) {
        if (progress && !progress("Analysing", step, options.models.size())) {
            result.cancelled = true;
            return result;
        }
        ModelResult modelResult;
        if (!analyseModel(data, order, options, model, modelResult, progress)) {
            result.cancelled = true;
            return result;
        }
        result.models.push_back(std::move(modelResult));
        ++step;
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
