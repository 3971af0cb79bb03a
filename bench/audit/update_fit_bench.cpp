// SPDX-License-Identifier: GPL-3.0-or-later
// Fitting a model update (the four candidates and the closed test) on a
// generated audit of 200,000 records, for every model, and its apparent
// calibration (the dialog's chart), each timed on its own: the audit window
// runs both on its user-interface thread only while together they stay under
// a quarter of a second.
//
//   audit_update_fit_bench [RECORDS...]   (default: 200000)

#include "audit/modelupdatefit.h"
#include "audit/reading.h"
#include "auditgenerator.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using namespace caldrin::audit;
using Clock = std::chrono::steady_clock;

} // namespace

int main(int argc, char** argv) {
    std::vector<std::size_t> sizes;
    for (int i = 1; i < argc; ++i)
        sizes.push_back(std::strtoull(argv[i], nullptr, 10));
    if (sizes.empty())
        sizes = {200000};
    std::printf("%-9s %-38s %9s %8s %10s %14s %12s\n", "records", "model", "episodes", "events",
                "fit s", "calibration s", "chosen");
    for (const std::size_t records : sizes) {
        testing::GeneratedAudit generated;
        generated.records = records;
        generated.seed = 2026;
        generated.years = 5;
        generated.oddsMultiplier = 0.5;
        const std::filesystem::path path =
            std::filesystem::temp_directory_path() /
            ("caldrin-update-bench-" + std::to_string(::getpid()) + ".csv");
        if (!testing::writeAuditFile(path.string(), generated)) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
        AuditReader reader(ReadOptions{DateOrder::DayMonthYear, 2026});
        reader.addFile(path.string());
        const AuditData data = reader.finish();
        std::filesystem::remove(path);
        for (const Model model : kAllModels) {
            double best = 1e9, bestCalibration = 1e9;
            UpdateFit fit;
            for (int run = 0; run < 5; ++run) { // the best of five: the machine is shared
                std::vector<UpdateObservation> fitted;
                auto start = Clock::now();
                fit = fitUpdate(data, model, std::nullopt, std::nullopt, &fitted);
                best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
                start = Clock::now();
                const ApparentCalibration calibration = apparentCalibration(fit, fitted);
                bestCalibration = std::min(
                    bestCalibration, std::chrono::duration<double>(Clock::now() - start).count());
                if (calibration.published.empty())
                    return 1;
            }
            std::printf(
                "%-9zu %-38s %9llu %8llu %10.4f %14.4f %12s\n", records,
                std::string(modelKey(model)).c_str(), static_cast<unsigned long long>(fit.episodes),
                static_cast<unsigned long long>(fit.events), best, bestCalibration,
                fit.chosen ? std::string(caldrin::modelupdate::methodKey(*fit.chosen)).c_str()
                           : "none");
        }
    }
    return 0;
}
