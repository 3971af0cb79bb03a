// SPDX-License-Identifier: GPL-3.0-or-later
#include "audit/statistics.h"

#include <boost/math/distributions/chi_squared.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numeric>
#include <stdexcept>
#include <utility>

namespace caldrin::audit {

std::pair<std::uint64_t, std::uint64_t> classSizes(std::span<const RiskGroup> groups) {
    std::uint64_t positives = 0;
    std::uint64_t negatives = 0;
    for (const RiskGroup& g : groups) {
        positives += g.events;
        negatives += g.nonEvents;
    }
    return {positives, negatives};
}

double chiSquareUpperTail(double x, double degreesOfFreedom) {
    if (!(x > 0))
        return 1;
    return boost::math::cdf(boost::math::complement(
        boost::math::chi_squared_distribution<double>(degreesOfFreedom), x));
}

double chiSquareQuantile(double probability, double degreesOfFreedom) {
    if (!(probability > 0 && probability < 1) || !(degreesOfFreedom > 0))
        throw std::domain_error("chi-square quantile outside its domain");
    const boost::math::chi_squared_distribution<double> distribution(degreesOfFreedom);
    // The upper half from its own tail, so that probabilities near 1 keep
    // their precision.
    return probability > 0.5
               ? boost::math::quantile(boost::math::complement(distribution, 1 - probability))
               : boost::math::quantile(distribution, probability);
}

Interval poissonRatioInterval(std::uint64_t observed, double expected) {
    const double o = static_cast<double>(observed);
    const double lower = observed == 0 ? 0.0 : chiSquareQuantile(0.025, 2 * o) / 2;
    const double upper = chiSquareQuantile(0.975, 2 * o + 2) / 2;
    return {lower / expected, upper / expected};
}

Interval wilsonInterval(std::uint64_t events, std::uint64_t n) {
    const double x = static_cast<double>(events);
    const double size = static_cast<double>(n);
    const double z2 = kZ975 * kZ975;
    const double centre = (x + z2 / 2) / (size + z2);
    const double half = kZ975 / (size + z2) * std::sqrt(x * (size - x) / size + z2 / 4);
    // At 0 and at n the limits are exactly 0 and 1; rounding must not carry
    // them past.
    return {events == 0 ? 0.0 : std::max(0.0, centre - half),
            events == n ? 1.0 : std::min(1.0, centre + half)};
}

std::vector<RiskGroup> groupByRisk(std::span<const double> risk,
                                   std::span<const std::uint8_t> outcome) {
    std::vector<std::size_t> order(risk.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::sort(order.begin(), order.end(),
              [&](std::size_t l, std::size_t r) { return risk[l] < risk[r]; });
    std::vector<RiskGroup> groups;
    for (const std::size_t i : order) {
        if (groups.empty() || groups.back().risk != risk[i])
            groups.push_back({risk[i], 0, 0});
        (outcome[i] ? groups.back().events : groups.back().nonEvents) += 1;
    }
    return groups;
}

namespace {} // namespace

std::optional<AurocEstimate> aurocDeLong(std::span<const RiskGroup> groups) {
    const auto [positives, negatives] = classSizes(groups);
    if (positives == 0 || negatives == 0)
        return std::nullopt;
    const double n1 = static_cast<double>(positives);
    const double n0 = static_cast<double>(negatives);

    // Placement values: for an event, the share of non-events below it (ties
    // half); for a non-event, the share of events above it. Equal within a group.
    std::vector<double> eventPlacement(groups.size());
    std::vector<double> nonEventPlacement(groups.size());
    double negativesBelow = 0;
    double positivesBelow = 0;
    double area = 0;
    for (std::size_t g = 0; g < groups.size(); ++g) {
        const double pos = static_cast<double>(groups[g].events);
        const double neg = static_cast<double>(groups[g].nonEvents);
        eventPlacement[g] = (negativesBelow + 0.5 * neg) / n0;
        nonEventPlacement[g] = (n1 - positivesBelow - pos + 0.5 * pos) / n1;
        area += pos * eventPlacement[g];
        negativesBelow += neg;
        positivesBelow += pos;
    }
    AurocEstimate estimate;
    estimate.auroc = area / n1;
    if (positives >= 2 && negatives >= 2) {
        double s10 = 0;
        double s01 = 0;
        for (std::size_t g = 0; g < groups.size(); ++g) {
            const double d10 = eventPlacement[g] - estimate.auroc;
            const double d01 = nonEventPlacement[g] - estimate.auroc;
            s10 += static_cast<double>(groups[g].events) * d10 * d10;
            s01 += static_cast<double>(groups[g].nonEvents) * d01 * d01;
        }
        s10 /= n1 - 1;
        s01 /= n0 - 1;
        estimate.standardError = std::sqrt(s10 / n1 + s01 / n0);
    }
    return estimate;
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
    if (n > 0)
        figures.rateInterval = wilsonInterval(observed, n);
    figures.unreliable = figures.expected < kReliableExpected;
    return figures;
}

Discrimination discrimination(std::span<const RiskGroup> groups) {
    Discrimination d;
    if (const auto roc = aurocDeLong(groups)) {
        d.auroc = roc->auroc;
        d.standardError = roc->standardError;
        if (roc->standardError)
            d.interval = Interval{std::max(0.0, roc->auroc - kZ975 * *roc->standardError),
                                  std::min(1.0, roc->auroc + kZ975 * *roc->standardError)};
    }
    const auto [events, nonEvents] = classSizes(groups);
    d.unreliable = events < 5 || nonEvents < 5;
    return d;
}

std::vector<RocPoint> rocCurve(std::span<const RiskGroup> groups) {
    const auto [positives, negatives] = classSizes(groups);
    std::vector<RocPoint> points;
    if (positives == 0 || negatives == 0)
        return points;
    points.reserve(groups.size() + 1);
    points.push_back({std::numeric_limits<double>::infinity(), 0, 0});
    std::uint64_t truePositives = 0;
    std::uint64_t falsePositives = 0;
    for (auto g = groups.rbegin(); g != groups.rend(); ++g) {
        truePositives += g->events;
        falsePositives += g->nonEvents;
        points.push_back({g->risk, static_cast<double>(falsePositives) / negatives,
                          static_cast<double>(truePositives) / positives});
    }
    return points;
}

namespace {

// Chi-square, p and the reliability mark from groups already counted.
void finishHosmerLemeshow(HosmerLemeshow& result) {
    double chi = 0;
    bool unreliable = false;
    std::uint64_t n = 0;
    for (const HosmerLemeshowGroup& g : result.groups) {
        if (g.n == 0)
            continue;
        n += g.n;
        const double ng = static_cast<double>(g.n);
        if (g.expected < kReliableExpected || ng - g.expected < kReliableExpected)
            unreliable = true;
        if (g.expected > 0 && g.expected < ng) {
            const double diff = static_cast<double>(g.observed) - g.expected;
            chi += diff * diff / (g.expected * (1 - g.expected / ng));
        }
    }
    if (n == 0)
        return;
    result.chiSquare = chi;
    result.pValue = chiSquareUpperTail(chi, result.degreesOfFreedom);
    result.unreliable = unreliable;
}

} // namespace

HosmerLemeshow hosmerLemeshowByStep(std::span<const std::uint32_t> step,
                                    std::span<const std::uint8_t> outcome,
                                    std::span<const double> riskOfStep) {
    HosmerLemeshow result;
    const std::size_t n = step.size();
    if (n == 0)
        return result;
    // A counting sort: an episode's rank is the number of episodes at lower
    // steps plus the earlier episodes at its own.
    std::vector<std::uint64_t> nextRank(riskOfStep.size() + 1, 0);
    for (const std::uint32_t t : step)
        ++nextRank[t + 1];
    for (std::size_t t = 1; t < nextRank.size(); ++t)
        nextRank[t] += nextRank[t - 1];
    std::array<std::uint32_t, 10> lowest{}, highest{};
    lowest.fill(UINT32_MAX);
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint32_t t = step[i];
        const std::uint64_t rank = nextRank[t]++;
        const std::size_t g = static_cast<std::size_t>(10 * rank / n);
        HosmerLemeshowGroup& group = result.groups[g];
        ++group.n;
        group.observed += outcome[i];
        group.expected += riskOfStep[t];
        lowest[g] = std::min(lowest[g], t);
        highest[g] = std::max(highest[g], t);
    }
    for (std::size_t g = 0; g < 10; ++g) {
        HosmerLemeshowGroup& group = result.groups[g];
        if (group.n > 0) {
            group.lowestRisk = riskOfStep[lowest[g]];
            group.highestRisk = riskOfStep[highest[g]];
        }
    }
    finishHosmerLemeshow(result);
    return result;
}

HosmerLemeshow hosmerLemeshow(std::span<const double> risk, std::span<const std::uint8_t> outcome) {
    std::vector<double> riskOfStep(risk.begin(), risk.end());
    std::sort(riskOfStep.begin(), riskOfStep.end());
    riskOfStep.erase(std::unique(riskOfStep.begin(), riskOfStep.end()), riskOfStep.end());
    std::vector<std::uint32_t> step;
    step.reserve(risk.size());
    for (const double p : risk)
        step.push_back(static_cast<std::uint32_t>(
            std::lower_bound(riskOfStep.begin(), riskOfStep.end(), p) - riskOfStep.begin()));
    return hosmerLemeshowByStep(step, outcome, riskOfStep);
}

double cusumWeight(double risk, bool event, double oddsRatio) {
    const double denominator = 1 - risk + oddsRatio * risk;
    return event ? std::log(oddsRatio / denominator) : -std::log(denominator);
}

namespace {

// xoshiro256** seeded through splitmix64: the same seed gives the same
// numbers on every platform and standard library.
class Generator {
public:
    explicit Generator(std::uint64_t seed) {
        for (auto& word : state_) {
            seed += 0x9e3779b97f4a7c15ULL;
            std::uint64_t z = seed;
            z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
            z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
            word = z ^ (z >> 31);
        }
    }
    std::uint64_t next() {
        const std::uint64_t result = rotl(state_[1] * 5, 7) * 9;
        const std::uint64_t t = state_[1] << 17;
        state_[2] ^= state_[0];
        state_[3] ^= state_[1];
        state_[1] ^= state_[2];
        state_[0] ^= state_[3];
        state_[2] ^= t;
        state_[3] = rotl(state_[3], 45);
        return result;
    }
    // Uniform on [0, 1) with 53 random bits.
    double uniform() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }

private:
    static std::uint64_t rotl(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
    std::uint64_t state_[4];
};

// Vose's alias table over the distinct risks, weighted by how often each occurs.
struct AliasTable {
    std::vector<double> risk;
    std::vector<double> eventWeight;
    std::vector<double> nonEventWeight;
    std::vector<double> keep;
    std::vector<std::uint32_t> alias;

    std::size_t draw(Generator& generator) const {
        const double u = generator.uniform() * static_cast<double>(keep.size());
        const std::size_t column = std::min(static_cast<std::size_t>(u), keep.size() - 1);
        return u - static_cast<double>(column) < keep[column] ? column : alias[column];
    }
};

AliasTable makeAliasTable(std::span<const RiskGroup> riskMix, double oddsRatio) {
    AliasTable table;
    std::vector<double> weight;
    double total = 0;
    for (const RiskGroup& g : riskMix) {
        const auto count = static_cast<double>(g.events + g.nonEvents);
        if (count == 0)
            continue;
        table.risk.push_back(g.risk);
        weight.push_back(count);
        total += count;
    }
    const std::size_t k = table.risk.size();
    for (const double p : table.risk) {
        table.eventWeight.push_back(cusumWeight(p, true, oddsRatio));
        table.nonEventWeight.push_back(cusumWeight(p, false, oddsRatio));
    }
    table.keep.assign(k, 1.0);
    table.alias.assign(k, 0);
    std::vector<double> scaled(k);
    std::vector<std::uint32_t> small, large;
    for (std::size_t i = 0; i < k; ++i) {
        scaled[i] = weight[i] * static_cast<double>(k) / total;
        (scaled[i] < 1 ? small : large).push_back(static_cast<std::uint32_t>(i));
    }
    while (!small.empty() && !large.empty()) {
        const std::uint32_t s = small.back();
        small.pop_back();
        const std::uint32_t l = large.back();
        table.keep[s] = scaled[s];
        table.alias[s] = l;
        scaled[l] = scaled[l] + scaled[s] - 1;
        if (scaled[l] < 1) {
            large.pop_back();
            small.push_back(l);
        }
    }
    return table;
}

} // namespace

bool riskMixCanSignal(std::span<const RiskGroup> riskMix, double oddsRatio) {
    for (const RiskGroup& g : riskMix) {
        if (g.events + g.nonEvents == 0)
            continue;
        if (g.risk > 0 && cusumWeight(g.risk, true, oddsRatio) > 0)
            return true;
        if (g.risk < 1 && cusumWeight(g.risk, false, oddsRatio) > 0)
            return true;
    }
    return false;
}

std::uint32_t simulationRunsFor(double targetArl, std::uint32_t requestedRuns) {
    // A run costs about the target in steps before the mean passes it. With
    // the fewest runs the mean run length is known to about 15%, which moves
    // the limit by about 1%, since the run length grows exponentially with it.
    const double affordable = kSimulationStepsPlanned / std::max(1.0, targetArl);
    if (affordable >= requestedRuns)
        return requestedRuns;
    return std::max(kFewestSimulationRuns, static_cast<std::uint32_t>(affordable));
}

std::optional<double> simulateCusumLimit(std::span<const RiskGroup> riskMix, double oddsRatio,
                                         double targetArl, std::uint32_t runs, std::uint64_t seed,
                                         const Progress& progress) {
    if (!riskMixCanSignal(riskMix, oddsRatio))
        return std::nullopt;
    const AliasTable table = makeAliasTable(riskMix, oddsRatio);
    if (table.risk.empty() || runs == 0 || !(targetArl >= 1))
        return std::nullopt;

    // Each run follows the CUSUM without resetting it and keeps the points
    // where it reached a new height: the run length for any limit h is then
    // the time of the first such point at or above h. Runs are extended, a
    // half unit of height at a time, until the mean run length at the top
    // height passes the target.
    struct Record {
        double height;
        std::uint64_t time;
    };
    struct Run {
        Generator generator;
        double value = 0;
        std::uint64_t time = 0;
        std::vector<Record> records;
    };
    std::vector<Run> all;
    all.reserve(runs);
    for (std::uint32_t r = 0; r < runs; ++r)
        all.push_back({Generator(seed + 0x632be59bd9b4e019ULL * (r + 1)), 0, 0, {}});

    // A mix that rarely moves the CUSUM may need far more than planned; the
    // bound keeps the worst case to tens of seconds.
    const std::uint64_t stepBudget = static_cast<std::uint64_t>(
        std::min(5 * kSimulationStepsPlanned, static_cast<double>(runs) * targetArl * 200));
    std::uint64_t steps = 0;
    std::uint64_t nextReport = 1 << 20;

    auto meanRunLength = [&](double h) {
        double sum = 0;
        for (const Run& run : all) {
            const auto hit = std::lower_bound(
                run.records.begin(), run.records.end(), h,
                [](const Record& record, double height) { return record.height < height; });
            sum += static_cast<double>(hit->time);
        }
        return sum / static_cast<double>(all.size());
    };

    double top = 0;
    for (;;) {
        top += 0.5;
        for (Run& run : all) {
            const double highest = run.records.empty() ? 0 : run.records.back().height;
            if (highest >= top)
                continue;
            double value = run.value;
            std::uint64_t time = run.time;
            double best = highest;
            while (best < top) {
                const std::size_t i = table.draw(run.generator);
                const bool event = run.generator.uniform() < table.risk[i];
                value =
                    std::max(0.0, value + (event ? table.eventWeight[i] : table.nonEventWeight[i]));
                ++time;
                if (value > best) {
                    best = value;
                    run.records.push_back({value, time});
                }
                if (++steps >= nextReport) {
                    nextReport += 1 << 20;
                    if (steps > stepBudget)
                        return std::nullopt;
                    if (progress && !progress("Control limit", steps, stepBudget))
                        return std::nullopt;
                }
            }
            run.value = value;
            run.time = time;
        }
        if (meanRunLength(top) >= targetArl)
            break;
    }

    // The smallest height whose mean run length reaches the target.
    std::vector<double> heights;
    heights.push_back(top);
    for (const Run& run : all)
        for (const Record& record : run.records)
            if (record.height < top)
                heights.push_back(record.height);
    std::sort(heights.begin(), heights.end());
    const auto found = std::partition_point(heights.begin(), heights.end(),
                                            [&](double h) { return meanRunLength(h) < targetArl; });
    if (found == heights.end())
        return std::nullopt;
    return *found;
}

} // namespace caldrin::audit
