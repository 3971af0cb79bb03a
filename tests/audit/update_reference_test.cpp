// SPDX-License-Identifier: GPL-3.0-or-later
// The model update's fits against statsmodels on the same episodes: a
// binomial GLM with the logit as offset for recalibration-in-the-large,
// Logit on L for logistic recalibration, Logit on PS and OS for revision.

#include "audit/modelupdatefit.h"
#include "pythonfigures.h"
#include "updatedata.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <unistd.h>

namespace caldrin::audit {
namespace {

using modelupdate::Method;

std::map<std::string, double> statsmodelsFits(const std::string& path) {
    const std::string command = std::string(CALDRIN_REFERENCE_PYTHON) + " '" +
                                CALDRIN_UPDATE_REFERENCE_SCRIPT + "' '" + path + "'";
    return testing::pythonFigures(command);
}

TEST(UpdateAgainstStatsmodels, CoefficientsCovarianceAndLikelihoodAgree) {
    testing::UpdateDataOptions options;
    options.episodes = 6000;
    options.seed = 31;
    options.intercept = -0.4;
    options.slope = 0.85;
    const std::vector<UpdateObservation> observations = testing::updateObservations(options);
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() /
        ("caldrin-update-reference-" + std::to_string(::getpid()) + ".csv");
    {
        std::ofstream out(path);
        char line[128];
        for (const UpdateObservation& o : observations) {
            std::snprintf(line, sizeof line, "%d,%.17g,%d,%d\n", o.event ? 1 : 0,
                          modelupdate::clampedLogit(o.risk), o.physiologicalScore,
                          o.operativeScore);
            out << line;
        }
    }
    const auto reference = statsmodelsFits(path.string());
    std::filesystem::remove(path);
    ASSERT_FALSE(reference.empty());

    const UpdateFit fit = fitUpdate(Model::PPossum1998Mortality, observations);
    auto agrees = [](double ours, double theirs, double tolerance) {
        return std::fabs(ours - theirs) <= tolerance * std::max(1e-3, std::fabs(theirs));
    };
    const std::pair<Method, const char*> fits[] = {
        {Method::RecalibrationInTheLarge, "in_the_large"},
        {Method::LogisticRecalibration, "recalibration"},
        {Method::Revision, "revision"}};
    for (const auto& [method, name] : fits) {
        const UpdateCandidate* candidate = fit.candidate(method);
        ASSERT_TRUE(candidate && candidate->logLikelihood) << name;
        const std::string key = std::string(name) + " ";
        EXPECT_TRUE(agrees(*candidate->logLikelihood, reference.at(key + "llf"), 1e-10)) << name;
        for (std::size_t i = 0; i < candidate->coefficients.size(); ++i) {
            const std::string coefficient = key + "coef" + std::to_string(i);
            EXPECT_TRUE(agrees(candidate->coefficients[i], reference.at(coefficient), 1e-7))
                << coefficient << ": ours " << candidate->coefficients[i] << ", statsmodels "
                << reference.at(coefficient);
            for (std::size_t j = 0; j < candidate->coefficients.size(); ++j) {
                const std::string cell = key + "cov" + std::to_string(i) + std::to_string(j);
                EXPECT_TRUE(agrees(candidate->covariance[i][j], reference.at(cell), 1e-6))
                    << cell << ": ours " << candidate->covariance[i][j] << ", statsmodels "
                    << reference.at(cell);
            }
        }
    }
    EXPECT_TRUE(agrees(*fit.candidate(Method::Original)->logLikelihood,
                       reference.at("original llf"), 1e-12));
}

} // namespace
} // namespace caldrin::audit
