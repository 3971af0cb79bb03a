// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Measuring observed against expected outcomes: the options of an analysis
// and the calls that run it.

#include "audit/dates.h"
#include "audit/models.h"
#include "audit/progress.h"
#include "audit/reading.h"
#include "audit/results.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace caldrin::audit {

struct AnalysisOptions {
    // Inclusive date range of procedure; when either end is set, episodes
    // whose date cannot be read are left out (and counted).
    std::optional<Date> from;
    std::optional<Date> to;

    std::vector<Model> models{kAllModels.begin(), kAllModels.end()};

    // Risk-adjusted CUSUM: the odds ratio it looks for (> 0, not 1) and its
    // control limit. Without a limit one is computed per model for the
    // in-control average run length `targetArl` from the model's own risk
    // mix: worked out by a Markov chain (runlength.h), or, where asked for,
    // by simulating it (`simulationRuns` runs, generator seeded with `seed`:
    // the same data and options always give the same limit), which is kept
    // as an independent check.
    enum class LimitMethod { MarkovChain, Simulation };
    double oddsRatio = 2.0;
    std::optional<double> limit;
    double targetArl = 10000;
    LimitMethod limitMethod = LimitMethod::MarkovChain;
    std::uint32_t simulationRuns = 2000;
    std::uint64_t seed = 20000101;

    // Per-episode paths for charts: 0 keeps none; otherwise every episode up
    // to this many, and beyond that at most this many points plus the
    // signals: each stretch of seriesStretch() episodes keeps the points of
    // its lowest and highest CUSUMs and VLAD, its last point and every signal
    // (the improvement CUSUM's too).
    std::size_t maxSeriesPoints = 0;
    bool rocCurve = true; // ROC points per model

    // What makes a unit on the funnel plot: for now each input file.
    enum class UnitGrouping { File };
    UnitGrouping units = UnitGrouping::File;

    // Completeness of the outcomes is measured only when today is given
    // (the engine reads no clock): an outcome is due once the procedure lies
    // at least `dueDays` days before today.
    std::optional<Date> today;
    int dueDays = 30;
};

AnalysisResult analyse(const AuditData& data, const AnalysisOptions& options,
                       const Progress& progress = {});

// Episodes per stretch of a thinned path (see maxSeriesPoints): episodes
// 1..stretch are the first stretch, and so on; 1 when nothing is thinned.
std::uint64_t seriesStretch(std::uint64_t episodes, std::size_t maxPoints);

// The predicted risks of one model's counted episodes in time order (for a
// histogram of another binning, or export).
std::vector<double> predictedRisks(const AuditData& data, const AnalysisOptions& options,
                                   Model model);

} // namespace caldrin::audit
