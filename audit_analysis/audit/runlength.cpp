// SPDX-License-Identifier: GPL-3.0-or-later
#include "audit/runlength.h"

#include "audit/options.h"
#include "audit/statistics.h"

#include <Eigen/Core>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace caldrin::audit {

namespace {

// How far one episode moves the CUSUM, in states of width h / M: mass[d + M]
// is the chance of a move of d states (d from -M to M; a move of M or more
// always ends the run, one of -M or less always lands at 0).
struct StepDistribution {
    int states = 0;
    std::vector<double> mass;
    int lowest = 0;  // the lowest move with any chance
    int highest = 0; // the highest

    double at(int d) const { return mass[static_cast<std::size_t>(d + states)]; }
};

StepDistribution stepDistribution(std::span<const RiskGroup> riskMix, double oddsRatio,
                                  double limit, int states) {
    StepDistribution steps;
    steps.states = states;
    steps.mass.assign(2 * static_cast<std::size_t>(states) + 1, 0.0);
    double episodes = 0;
    for (const RiskGroup& g : riskMix)
        episodes += static_cast<double>(g.events + g.nonEvents);
    const double width = limit / states;
    // A CUSUM spread evenly over [i, i + 1) (in states) and moved by s states
    // lies in [i + s, i + 1 + s): the share 1 - f of it in state i + q and f
    // in state i + q + 1, with q = floor(s) and f = s - q.
    auto add = [&](double weight, double chance) {
        if (chance <= 0)
            return;
        const double s = weight / width;
        const double q = std::floor(s);
        const double f = s - q;
        auto place = [&](double d, double share) {
            const double bounded =
                std::clamp(d, -static_cast<double>(states), static_cast<double>(states));
            steps.mass[static_cast<std::size_t>(bounded + states)] += share;
        };
        place(q, chance * (1 - f));
        place(q + 1, chance * f);
    };
    for (const RiskGroup& g : riskMix) {
        const auto count = static_cast<double>(g.events + g.nonEvents);
        if (count == 0)
            continue;
        const double share = count / episodes;
        add(cusumWeight(g.risk, true, oddsRatio), share * g.risk);
        add(cusumWeight(g.risk, false, oddsRatio), share * (1 - g.risk));
    }
    int first = 0;
    while (first + 1 < static_cast<int>(steps.mass.size()) && steps.mass[first] == 0)
        ++first;
    int last = static_cast<int>(steps.mass.size()) - 1;
    while (last > first && steps.mass[last] == 0)
        --last;
    steps.lowest = first - states;
    steps.highest = last - states;
    return steps;
}

// The band widths below and above the diagonal of I - B for M states.
struct BandWidths {
    int below = 0;
    int above = 0;
    std::size_t entries(int states) const {
        return static_cast<std::size_t>(states) * static_cast<std::size_t>(below + above + 1);
    }
};

BandWidths bandWidths(const StepDistribution& steps) {
    const int m = steps.states;
    return {std::clamp(-steps.lowest, 0, m - 1), std::clamp(steps.highest, 0, m - 1)};
}

// The run length from S = 0. With B the moves that stay within [0, h) by
// their size alone (a Toeplitz band), c_i the chance of falling below 0 from
// state i (landing in state 0) and e_i that of reaching h, the chain is
// (I - B - c u0') x = 1. With (I - B) a = 1 and (I - B) d = e, and since
// (I - B) 1 = c + e, x = a + x_0 (1 - d), so x_0 = a_0 / d_0: no difference
// of nearly equal numbers, however long the run length.
double solveChain(const StepDistribution& steps) {
    const int m = steps.states;
    const BandWidths band = bandWidths(steps);
    const int kl = band.below;
    const int ku = band.above;
    const int width = kl + ku + 1;

    // Row i holds columns i - kl .. i + ku; every row is the same before the
    // elimination (entries outside the matrix are never read).
    Eigen::RowVectorXd row(width);
    for (int d = -kl; d <= ku; ++d)
        row[d + kl] = (d == 0 ? 1.0 : 0.0) - steps.at(d);
    Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, Eigen::RowMajor> lu(m, width);
    lu.rowwise() = row;

    // Right-hand sides: 1, and the chance of reaching h from each state.
    std::vector<double> atLeast(steps.mass.size() + 1, 0.0);
    for (std::size_t k = steps.mass.size(); k-- > 0;)
        atLeast[k] = atLeast[k + 1] + steps.mass[k];
    Eigen::Matrix<double, Eigen::Dynamic, 2, Eigen::RowMajor> x(m, 2);
    for (int i = 0; i < m; ++i) {
        x(i, 0) = 1.0;
        x(i, 1) = atLeast[static_cast<std::size_t>(m - i + m)];
    }

    // Gaussian elimination without pivoting: I - B is an M-matrix with
    // diagonal dominance in every row, so the pivots stay positive and the
    // growth bounded. The right-hand sides are eliminated alongside.
    for (int k = 0; k + 1 < m; ++k) {
        const double pivot = lu(k, kl);
        const int right = std::min(ku, m - 1 - k);
        const int below = std::min(kl, m - 1 - k);
        for (int r = 1; r <= below; ++r) {
            const int i = k + r;
            const double factor = lu(i, kl - r) / pivot;
            if (factor == 0)
                continue;
            if (right > 0)
                lu.row(i).segment(kl - r + 1, right).noalias() -=
                    factor * lu.row(k).segment(kl + 1, right);
            x.row(i) -= factor * x.row(k);
        }
    }
    for (int i = m - 1; i >= 0; --i) {
        const int right = std::min(ku, m - 1 - i);
        if (right > 0)
            x.row(i) -= lu.row(i).segment(kl + 1, right) * x.middleRows(i + 1, right);
        x.row(i) /= lu(i, kl);
    }
    const double runLength = x(0, 0) / x(0, 1);
    return runLength > 0 && std::isfinite(runLength) ? runLength
                                                     : std::numeric_limits<double>::infinity();
}

// The run length with M states, or NaN when the band would not fit the
// storage allowed.
double chainRunLength(std::span<const RiskGroup> riskMix, double oddsRatio, double limit,
                      int states) {
    const StepDistribution steps = stepDistribution(riskMix, oddsRatio, limit, states);
    if (bandWidths(steps).entries(states) > kMostChainEntries)
        return std::numeric_limits<double>::quiet_NaN();
    return solveChain(steps);
}

// log ARL(h) - log target with M states, counting the evaluations for the
// progress callback.
class LimitSearch {
public:
    LimitSearch(std::span<const RiskGroup> riskMix, double oddsRatio, double targetArl,
                const Progress& progress)
        : riskMix_(riskMix)
        , oddsRatio_(oddsRatio)
        , logTarget_(std::log(targetArl))
        , progress_(progress) {}

    // NaN when the chain does not fit; `cancelled` set when asked to stop.
    double gap(double limit, int states) {
        if (progress_ && !progress_("Control limit", std::min(evaluations_, kPlanned), kPlanned))
            cancelled = true;
        ++evaluations_;
        if (cancelled)
            return std::numeric_limits<double>::quiet_NaN();
        return std::log(chainRunLength(riskMix_, oddsRatio_, limit, states)) - logTarget_;
    }
    double logTarget() const { return logTarget_; }

    bool cancelled = false;

private:
    static constexpr std::uint64_t kPlanned = 30;
    std::span<const RiskGroup> riskMix_;
    double oddsRatio_;
    double logTarget_;
    const Progress& progress_;
    std::uint64_t evaluations_ = 0;
};

struct Root {
    enum class Outcome { Found, AboveLargest, BelowSmallest, DoesNotFit };
    Outcome outcome = Outcome::Found;
    double limit = 0;
    double slope = 0; // d log ARL / dh near the root
};

// Limits below this are taken as 0: every rise of the CUSUM would signal.
constexpr double kSmallestLimit = 1e-6;

// The h with ARL(h) = target for M states: secant steps on log ARL, which
// grows about linearly with h, kept inside the bracket found so far, and
// bisection where a step would leave it. ARL(0) is taken as 1.
Root solveForLimit(LimitSearch& search, int states, double start) {
    struct Point {
        double h;
        double gap;
    };
    Point lower{0, -search.logTarget()};
    std::optional<Point> upper;
    std::optional<Point> previous;
    double h = start;
    for (int iteration = 0; iteration < 100; ++iteration) {
        const double gap = search.gap(h, states);
        if (!std::isfinite(gap) && !(gap > 0))
            return {Root::Outcome::DoesNotFit};
        const Point current{h, gap};
        if (gap < 0)
            lower = current;
        else
            upper = current;
        const Point& other = previous ? *previous : lower;
        const double slope = (current.gap - other.gap) / (current.h - other.h);
        const bool found = std::fabs(gap) < 1e-6;
        if (found ||
            (upper && std::isfinite(upper->gap) && upper->h - lower.h <= 1e-9 * upper->h)) {
            Root root{Root::Outcome::Found, found ? h : upper->h, slope};
            if (!(root.slope > 0 && std::isfinite(root.slope)) && upper)
                root.slope = (upper->gap - lower.gap) / (upper->h - lower.h);
            if (!(root.slope > 0 && std::isfinite(root.slope)))
                root.slope = -lower.gap / std::max(lower.h, root.limit);
            return root;
        }
        double next = slope > 0 && std::isfinite(slope) && std::isfinite(gap)
                          ? h - gap / slope
                          : std::numeric_limits<double>::quiet_NaN();
        if (upper) {
            if (upper->h < kSmallestLimit)
                return {Root::Outcome::BelowSmallest};
            if (!(next > lower.h && next < upper->h))
                next = (lower.h + upper->h) / 2;
        } else {
            // Not yet above the target: step out, at least a tenth and at
            // most four times as far.
            next = std::isfinite(next) ? std::clamp(next, 1.1 * h, 4 * h) : 2 * h;
            if (next > kLargestLimit)
                return {Root::Outcome::AboveLargest};
        }
        previous = current;
        h = next;
    }
    return {Root::Outcome::DoesNotFit};
}

} // namespace

std::optional<double> cusumRunLength(std::span<const RiskGroup> riskMix, double oddsRatio,
                                     double limit, int states) {
    if (!riskMixCanSignal(riskMix, oddsRatio) || !(limit > 0) || states < 1)
        return std::nullopt;
    const double runLength = chainRunLength(riskMix, oddsRatio, limit, states);
    if (std::isnan(runLength))
        return std::nullopt;
    return runLength;
}

SettledRunLength settledRunLength(std::span<const RiskGroup> riskMix, double oddsRatio,
                                  double limit) {
    SettledRunLength result;
    if (!riskMixCanSignal(riskMix, oddsRatio) || !(limit > 0))
        return result;
    int states = kFewestChainStates;
    double runLength = chainRunLength(riskMix, oddsRatio, limit, states);
    while (!std::isnan(runLength)) {
        const double doubled = chainRunLength(riskMix, oddsRatio, limit, 2 * states);
        states *= 2;
        if (std::fabs(doubled - runLength) <= kChainTolerance * doubled) {
            result.runLength = doubled;
            result.states = states;
            break;
        }
        runLength = doubled;
    }
    return result;
}

ComputedLimit computeCusumLimit(std::span<const RiskGroup> riskMix, double oddsRatio,
                                double targetArl, const Progress& progress) {
    ComputedLimit result;
    if (!riskMixCanSignal(riskMix, oddsRatio)) {
        result.missing = std::string(kCannotSignal);
        return result;
    }
    LimitSearch search(riskMix, oddsRatio, targetArl, progress);
    const std::string unsettled = "the run length worked out by the Markov chain did not settle "
                                  "within the states allowed";
    int states = kFewestChainStates;
    const Root first = solveForLimit(search, states, 2.0);
    if (search.cancelled) {
        result.cancelled = true;
        return result;
    }
    switch (first.outcome) {
    case Root::Outcome::Found:
        break;
    case Root::Outcome::AboveLargest:
        result.missing = "no limit up to " + std::to_string(static_cast<int>(kLargestLimit)) +
                         " gives so long an in-control run length";
        return result;
    case Root::Outcome::BelowSmallest:
        result.missing = "the CUSUM rises so seldom that even the lowest limit gives a longer "
                         "in-control run length than the one asked for";
        return result;
    case Root::Outcome::DoesNotFit:
        result.missing = unsettled;
        return result;
    }
    // gap: log ARL_M(h) - log target, about 0 for the h found with M states.
    double h = first.limit;
    double slope = first.slope;
    double gap = 0;
    for (;;) {
        const int doubled = 2 * states;
        const double doubledGap = search.gap(h, doubled);
        if (search.cancelled) {
            result.cancelled = true;
            return result;
        }
        if (std::isnan(doubledGap)) {
            result.missing = unsettled;
            return result;
        }
        const bool settled = std::fabs(std::expm1(doubledGap - gap)) <= kChainTolerance;
        // One secant step to the run length of the chain with 2M states.
        const double next = h - doubledGap / slope;
        if (settled) {
            result.limit = next;
            result.states = doubled;
            return result;
        }
        const double nextGap = search.gap(next, doubled);
        if (search.cancelled) {
            result.cancelled = true;
            return result;
        }
        if (std::isnan(nextGap)) {
            result.missing = unsettled;
            return result;
        }
        if (const double secant = (nextGap - doubledGap) / (next - h);
            secant > 0 && std::isfinite(secant))
            slope = secant;
        h = next;
        gap = nextGap;
        states = doubled;
    }
}

} // namespace caldrin::audit
