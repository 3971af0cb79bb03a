// SPDX-License-Identifier: GPL-3.0-or-later
// Control limits worked out by the Markov chain against the simulated ones,
// in one run: the default analysis (every model's harm and improvement
// limits computed) of a generated file of 3,000 episodes and of 10^6 records,
// timed with each method, the largest relative difference between the two
// methods' limits, the chain's time at --arl 1000000 against --arl 10000, and
// the time to write the JSON report (nlohmann-json), which should stay well
// under a tenth of the analysis.
//
//   audit_limits_bench [RECORDS...]   (default: 3000 1000000)
// Reading the file is timed apart from the analysis; both are printed, and the
// load average before and after (other work on the machine slows everything).

#include "audit/auditanalysis.h"
#include "audit/auditreport.h"
#include "auditgenerator.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using namespace caldrin::audit;
using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

struct Timed {
    AnalysisResult result;
    double seconds = 0;
    double cpuSeconds = 0; // of every thread: on a loaded machine, nearer the quiet wall time
};

Timed timedAnalysis(const AuditData& data, AnalysisOptions::LimitMethod method, double arl) {
    AnalysisOptions options;
    options.limitMethod = method;
    options.targetArl = arl;
    const auto start = Clock::now();
    const std::clock_t cpuStart = std::clock();
    Timed timed{analyse(data, options), 0, 0};
    timed.seconds = secondsSince(start);
    timed.cpuSeconds = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    return timed;
}

// The largest |chain - simulated| / chain over every limit both give.
double largestDifference(const AnalysisResult& chain, const AnalysisResult& simulated) {
    double largest = 0;
    for (std::size_t m = 0; m < chain.models.size(); ++m) {
        for (const auto member : {&ModelResult::cusum, &ModelResult::improvement}) {
            const Cusum& a = chain.models[m].*member;
            const Cusum& b = simulated.models[m].*member;
            if (a.limit && b.limit)
                largest = std::max(largest, std::fabs(*a.limit - *b.limit) / *a.limit);
        }
    }
    return largest;
}

int limitsComputed(const AnalysisResult& result) {
    int count = 0;
    for (const ModelResult& m : result.models)
        count += m.cusum.limitComputed + m.improvement.limitComputed;
    return count;
}

} // namespace

int main(int argc, char** argv) {
    auto load = [] {
        double averages[3] = {0, 0, 0};
        ::getloadavg(averages, 3);
        return averages[0];
    };
    std::printf("load average %.2f\n", load());
    std::vector<std::size_t> sizes;
    for (int i = 1; i < argc; ++i)
        sizes.push_back(std::strtoull(argv[i], nullptr, 10));
    if (sizes.empty())
        sizes = {3000, 1000000};
    std::printf("%-9s %7s %9s %11s %11s %9s %13s %14s %7s %8s %12s\n", "records", "read s",
                "episodes", "simulated s", "chain s", "limits", "largest diff", "chain arl1e6 s",
                "json s", "json MB", "chain cpu s");
    for (const std::size_t records : sizes) {
        testing::GeneratedAudit generated;
        generated.records = records;
        generated.seed = 2026;
        generated.years = 10;
        generated.oddsMultiplier = 1.2;
        const std::filesystem::path path = std::filesystem::temp_directory_path() /
                                           ("caldrin-limits-bench-" + std::to_string(::getpid()) +
                                            "-" + std::to_string(records) + ".csv");
        if (!testing::writeAuditFile(path.string(), generated)) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
        const auto readStart = Clock::now();
        AuditReader reader(ReadOptions{DateOrder::DayMonthYear, 2026});
        reader.addFile(path.string());
        const AuditData data = reader.finish();
        const double readSeconds = secondsSince(readStart);
        std::filesystem::remove(path);

        const Timed chain = timedAnalysis(data, AnalysisOptions::LimitMethod::MarkovChain, 1e4);
        const Timed simulated = timedAnalysis(data, AnalysisOptions::LimitMethod::Simulation, 1e4);
        const Timed longChain = timedAnalysis(data, AnalysisOptions::LimitMethod::MarkovChain, 1e6);
        const auto jsonStart = Clock::now();
        const std::string json =
            formatReport(data, chain.result, AnalysisOptions{}, ReportFormat::Json);
        const double jsonSeconds = secondsSince(jsonStart);
        std::printf("%-9zu %7.3f %9llu %11.3f %11.3f %4d/%-4d %12.2f%% %14.3f %7.3f %8.2f %12.3f\n",
                    records, readSeconds, static_cast<unsigned long long>(chain.result.episodes),
                    simulated.seconds, chain.seconds, limitsComputed(chain.result),
                    limitsComputed(simulated.result),
                    100 * largestDifference(chain.result, simulated.result), longChain.seconds,
                    jsonSeconds, static_cast<double>(json.size()) / 1e6, chain.cpuSeconds);
        for (const ModelResult& m : chain.result.models)
            for (const Cusum* c : {&m.cusum, &m.improvement})
                if (!c->limit)
                    std::printf("  %s: no limit (%s)\n", std::string(modelKey(m.model)).c_str(),
                                c->limitMissing.c_str());
    }
    std::printf("load average %.2f\n", load());
}
