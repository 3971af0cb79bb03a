// SPDX-License-Identifier: GPL-3.0-or-later
#include "riskmodels/riskmodels.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace caldrin::riskmodels {

namespace {

constexpr std::string_view kPossumCitation =
    "Copeland GP, Jones D, Walters M. POSSUM: a scoring system for surgical audit. "
    "Br J Surg 1991;78:355-360";
constexpr std::string_view kPPossum1996Citation =
    "Whiteley MS, Prytherch DR, Higgins B, Weaver PC, Prout WG. An evaluation of the POSSUM "
    "surgical scoring system. Br J Surg 1996;83:812-815";
constexpr std::string_view kPPossum1998Citation =
    "Prytherch DR, Whiteley MS, Higgins B, Weaver PC, Prout WG, Powell SJ. POSSUM and "
    "Portsmouth POSSUM for predicting mortality. Br J Surg 1998;85:1217-1220";
constexpr std::string_view kRaaaPossumCitation =
    "Prytherch DR, Sutton GL, Boyle JR. Portsmouth POSSUM models for abdominal aortic aneurysm "
    "surgery. Br J Surg 2001;88:958-963";
constexpr std::string_view kVPossumCitation =
    "Prytherch DR, Ridler BMF, Beard JD, Earnshaw JJ. A model for national outcome audit in "
    "vascular surgery. Eur J Vasc Endovasc Surg 2001;21:477-483";

constexpr std::string_view kGeneralSurgery = "adults having general surgery, elective or emergency";
constexpr std::string_view kRuptured =
    "patients having repair of a ruptured abdominal aortic aneurysm";
constexpr std::string_view kArterial = "patients having arterial (vascular) surgery";

constexpr std::array<RiskModel, kModelCount> kModels = {{
    {ModelId::PossumMortality, "POSSUM mortality", "POSSUM mortality", "possum_mortality", "possum",
     -7.04, 0.13, 0.16, true, Predicts::Mortality, "death within 30 days", kGeneralSurgery,
     kPossumCitation, "10.1002/bjs.1800780327", "P_MORT"},
    {ModelId::PossumMorbidity, "POSSUM morbidity", "POSSUM morbidity", "possum_morbidity",
     "possum-morbidity", -5.91, 0.16, 0.19, true, Predicts::Morbidity,
     "a complication within 30 days", kGeneralSurgery, kPossumCitation, "10.1002/bjs.1800780327",
     "P_MORB"},
    {ModelId::PPossum1996Mortality, "P-POSSUM mortality", "P-POSSUM mortality",
     "p_possum_mortality", "p-possum", -9.37, 0.19, 0.15, true, Predicts::Mortality,
     "death in hospital", kGeneralSurgery, kPPossum1996Citation, "10.1002/bjs.1800830628",
     "P-P_MORT"},
    {ModelId::RaaaPossumMortality, "RAAA-POSSUM mortality", "RAAA-POSSUM mort.",
     "raaa_possum_mortality", "raaa-possum", -4.9795, 0.0913, 0.0958, true, Predicts::Mortality,
     "death within 30 days", kRuptured, kRaaaPossumCitation, "10.1046/j.0007-1323.2001.01820.x",
     "V_MORT"},
    {ModelId::RaaaPossumPhysiologicalMortality, "RAAA-POSSUM physiological mortality",
     "RAAA-POSSUM phys.", "raaa_possum_physiological_mortality", "raaa-possum-physiological",
     -2.7569, 0.0968, 0.0, false, Predicts::Mortality, "death within 30 days", kRuptured,
     kRaaaPossumCitation, "10.1046/j.0007-1323.2001.01820.x", "VP_MORT"},
    {ModelId::VPossum2001Mortality, "V-POSSUM mortality", "V-POSSUM mortality",
     "v_possum_2001_mortality", "v-possum-2001", -8.0616, 0.1552, 0.1238, true, Predicts::Mortality,
     "death within 30 days", kArterial, kVPossumCitation, "10.1053/ejvs.2001.1369", ""},
    {ModelId::VPossum2001PhysiologicalMortality, "V-POSSUM physiological mortality",
     "V-POSSUM phys. mort.", "v_possum_2001_physiological_mortality", "v-possum-2001-physiological",
     -6.0386, 0.1539, 0.0, false, Predicts::Mortality, "death within 30 days", kArterial,
     kVPossumCitation, "10.1053/ejvs.2001.1369", ""},
    {ModelId::PPossum1998Mortality, "P-POSSUM (1998) mortality", "P-POSSUM 1998 mort.",
     "p_possum_1998_mortality", "p-possum-1998", -9.065, 0.1692, 0.1550, true, Predicts::Mortality,
     "death in hospital", kGeneralSurgery, kPPossum1998Citation, "10.1046/j.1365-2168.1998.00840.x",
     ""},
}};

// Constants are printed with the fewest decimals (at least two) that give them exactly.
std::string constantText(double value) {
    char text[32];
    for (int decimals = 2; decimals <= 6; ++decimals) {
        std::snprintf(text, sizeof text, "%.*f", decimals, std::fabs(value));
        if (std::fabs(std::strtod(text, nullptr) - std::fabs(value)) < 1e-12)
            break;
    }
    return text;
}

} // namespace

const std::array<RiskModel, kModelCount>& allModels() {
    return kModels;
}

const RiskModel& model(ModelId id) {
    return kModels[static_cast<std::size_t>(id)];
}

double riskFromScores(const RiskModel& m, double physiologicalScore, double operativeScore) {
    const double y =
        m.intercept + m.psCoefficient * physiologicalScore + m.osCoefficient * operativeScore;
    const double e = std::exp(y);
    return e / (e + 1.0);
}

std::string equationText(const RiskModel& m) {
    std::string text = "ln(R/(1-R)) = ";
    text += m.intercept < 0 ? "-" : "";
    text += constantText(m.intercept);
    text += " + " + constantText(m.psCoefficient) + " x PS";
    if (m.usesOperativeScore)
        text += " + " + constantText(m.osCoefficient) + " x OS";
    return text;
}

} // namespace caldrin::riskmodels
