#include "audit/auditanalysis.h"
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

ObservedExpected observedExpected(std::uint64_t n, std::uint64_t observed,
                                  std::uint64_t expectedTenThousandths) {
    ObservedExpected figures;
    figures.n = n;
    figures.observed = observed;
    figures.expected = fraction(expectedTenThousandths);
    if (expectedTenThousandths > 0) {
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

struct Counted {
    std::vector<std::uint16_t> risk; // ten-thousandths, time order
    std::vector<std::uint8_t> outcome;
    std::vector<std::uint32_t> episode;
};

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
        counted.risk.push_back(e.riskTenThousandths[m]);
        counted.outcome.push_back(static_cast<std::uint8_t>(y));
        counted.episode.push_back(i);
    }
    return counted;
}

void thinSeries(std::vector<TimePoint>& all, std::size_t maxPoints) {
    if (all.size() <= maxPoints)
        return;
    // Up to two points per stretch (its CUSUM peak and its last point), and
    // every signal.
    const std::size_t stretches = std::max<std::size_t>(1, maxPoints / 2);
    const std::size_t length = (all.size() + stretches - 1) / stretches;
    std::vector<TimePoint> kept;
    kept.reserve(2 * stretches + 16);
    for (std::size_t start = 0; start < all.size(); start += length) {
        const std::size_t end = std::min(all.size(), start + length);
        std::size_t peak = start;
        for (std::size_t i = start; i < end; ++i) {
            if (all[i].cusum > all[peak].cusum)
                peak = i;
            if (all[i].signal && i != end - 1)
                kept.push_back(all[i]);
        }
        if (peak != end - 1 && !all[peak].signal)
            kept.push_back(all[peak]);
        kept.push_back(all[end - 1]);
    }
    std::sort(kept.begin(), kept.end(),
              [](const TimePoint& l, const TimePoint& r) { return l.position < r.position; });
    all = std::move(kept);
}

bool analyseModel(const AuditData& data, std::span<const std::uint32_t> order,
                  const AnalysisOptions& options, Model model, ModelResult& result,
                  const Progress& progress) {
    result.model = model;
    result.outcome = modelOutcome(model);
    const Counted counted = countedEpisodes(data, order, model, &result);
    const std::size_t n = counted.risk.size();

    // Counts by exact risk: everything but the time-ordered figures works from these.
    std::vector<std::uint64_t> events(kRiskSteps, 0);
    std::vector<std::uint64_t> nonEvents(kRiskSteps, 0);
    for (std::size_t i = 0; i < n; ++i)
        (counted.outcome[i] ? events : nonEvents)[counted.risk[i]] += 1;

    std::vector<RiskGroup> groups;
    std::uint64_t observed = 0;
    std::uint64_t expected = 0;
    std::array<std::uint64_t, 10> bandN{}, bandObserved{}, bandExpected{};
    double brierSum = 0;
    for (std::size_t t = 0; t < kRiskSteps; ++t) {
        if (events[t] == 0 && nonEvents[t] == 0)
            continue;
        const double p = fraction(t);
        groups.push_back({p, events[t], nonEvents[t]});
        const std::uint64_t count = events[t] + nonEvents[t];
        observed += events[t];
        expected += count * t;
        const std::size_t band = t == 0 ? 0 : (t - 1) / 1000;
        bandN[band] += count;
        bandObserved[band] += events[t];
        bandExpected[band] += count * t;
        brierSum += static_cast<double>(events[t]) * (1 - p) * (1 - p) +
                    static_cast<double>(nonEvents[t]) * p * p;
        const std::size_t bin = std::min<std::size_t>(RiskHistogram::kBins - 1, t / 100);
        result.histogram.withEvent[bin] += events[t];
        result.histogram.withoutEvent[bin] += nonEvents[t];
    }
    result.overall = observedExpected(n, observed, expected);
    for (std::size_t k = 0; k < 10; ++k) {
        result.bands[k].from = static_cast<double>(k) / 10;
        result.bands[k].to = static_cast<double>(k + 1) / 10;
        result.bands[k].figures = observedExpected(bandN[k], bandObserved[k], bandExpected[k]);
    }
    if (n > 0)
        result.brier = brierSum / static_cast<double>(n);

    if (const auto roc = aurocDeLong(groups)) {
        result.discrimination.auroc = roc->auroc;
        result.discrimination.standardError = roc->standardError;
        if (roc->standardError)
            result.discrimination.interval =
                Interval{std::max(0.0, roc->auroc - kZ975 * *roc->standardError),
                         std::min(1.0, roc->auroc + kZ975 * *roc->standardError)};
    }
    result.discrimination.unreliable = observed < 5 || n - observed < 5;
    if (options.rocCurve)
        result.roc = rocCurve(groups);
    result.calibration = calibrationFit(groups);

    // Hosmer-Lemeshow: an episode's rank among risks sorted stably is the
    // number of lower risks plus the earlier episodes with the same risk.
    if (n > 0) {
        std::vector<std::uint64_t> nextRank(kRiskSteps, 0);
        std::uint64_t below = 0;
        for (std::size_t t = 0; t < kRiskSteps; ++t) {
            nextRank[t] = below;
            below += events[t] + nonEvents[t];
        }
        std::array<std::uint64_t, 10> groupExpected{};
        std::array<std::uint16_t, 10> lowest{}, highest{};
        lowest.fill(UINT16_MAX);
        for (std::size_t i = 0; i < n; ++i) {
            const std::uint16_t t = counted.risk[i];
            const std::uint64_t rank = nextRank[t]++;
            const std::size_t g = static_cast<std::size_t>(10 * rank / n);
            HosmerLemeshowGroup& group = result.hosmerLemeshow.groups[g];
            ++group.n;
            group.observed += counted.outcome[i];
            groupExpected[g] += t;
            lowest[g] = std::min(lowest[g], t);
            highest[g] = std::max(highest[g], t);
        }
        for (std::size_t g = 0; g < 10; ++g) {
            HosmerLemeshowGroup& group = result.hosmerLemeshow.groups[g];
            group.expected = fraction(groupExpected[g]);
            if (group.n > 0) {
                group.lowestRisk = fraction(lowest[g]);
                group.highestRisk = fraction(highest[g]);
            }
        }
        finishHosmerLemeshow(result.hosmerLemeshow);
    }

    // Over time.
    Cusum& cusum = result.cusum;
    cusum.oddsRatio = options.oddsRatio;
    cusum.targetArl = options.targetArl;
    if (options.limit) {
        cusum.limit = options.limit;
    } else if (n > 0) {
        bool cancelled = false;
        const Progress inner = [&](std::string_view stage, std::uint64_t done,
                                   std::uint64_t total) {
            if (progress && !progress(stage, done, total))
                cancelled = true;
            return !cancelled;
        };
        cusum.limit =
            simulateCusumLimit(groups, options.oddsRatio, options.targetArl, options.simulationRuns,
                               options.seed + static_cast<std::uint64_t>(model), inner);
        if (cancelled)
            return false;
        cusum.limitComputed = cusum.limit.has_value();
    }
    std::vector<double> eventWeight(kRiskSteps), nonEventWeight(kRiskSteps);
    for (std::size_t t = 0; t < kRiskSteps; ++t) {
        if (events[t] == 0 && nonEvents[t] == 0)
            continue;
        eventWeight[t] = cusumWeight(fraction(t), true, options.oddsRatio);
        nonEventWeight[t] = cusumWeight(fraction(t), false, options.oddsRatio);
    }
    const bool keepSeries = options.maxSeriesPoints > 0;
    if (keepSeries)
        result.series.reserve(std::min(n, 2 * options.maxSeriesPoints + 16) + 1);
    double s = 0;
    std::int64_t vladTenThousandths = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint16_t t = counted.risk[i];
        const bool event = counted.outcome[i] != 0;
        vladTenThousandths += static_cast<std::int64_t>(t) - (event ? 10000 : 0);
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
            result.series.push_back({i + 1, data.episodes()[counted.episode[i]].day,
                                     static_cast<double>(vladTenThousandths) / 10000.0, reached,
                                     signal});
        if (keepSeries && result.series.size() > 4 * options.maxSeriesPoints + 64)
            thinSeries(result.series, options.maxSeriesPoints * 2);
    }
    if (keepSeries)
        thinSeries(result.series, options.maxSeriesPoints);
    cusum.finalValue = s;
    result.vlad = static_cast<double>(vladTenThousandths) / 10000.0;
    return true;
}

} // namespace

AnalysisResult analyse(const AuditData& data, const AnalysisOptions& options,
                       const Progress& progress) {
    AnalysisResult result;
    const std::vector<std::uint32_t> order = timeOrder(data, options, result);
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
    for (const std::uint16_t t : counted.risk)
        risks.push_back(fraction(t));
    return risks;
}

} // namespace caldrin::audit
