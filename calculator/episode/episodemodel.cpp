// SPDX-License-Identifier: GPL-3.0-or-later
#include "episode/episodemodel.h"

#include "scoring/integertext.h"
#include "scoring/risk.h"

namespace caldrin {

EpisodeModel::EpisodeModel(QObject* parent)
    : QObject(parent) {}

void EpisodeModel::startEpisode(bool directEntry) {
    resetDetails();
    setCalculateEnabled(false);
    setReportEnabled(false);
    setAddToFileEnabled(false);
    directEntry_ = directEntry;
}

void EpisodeModel::scoreTextsChanged(std::string_view physiological, std::string_view operative) {
    if (directEntry_) {
        // Each box stands for its own total: a text that is not a score from
        // 0 to 255 leaves that total "not entered", so that Calculate never
        // shows risks for a number that is no longer in the box.
        assessment_.physiologicalScore = scoreFromText(physiological);
        assessment_.operativeScore = scoreFromText(operative);
    }
    if (IsInteger(physiological) && assessment_.physiologicalScore != 0 && IsInteger(operative) &&
        assessment_.operativeScore != 0) {
        setCalculateEnabled(true);
        Q_EMIT risksCleared();
    }
}

void EpisodeModel::setPhysiologicalScore(quint8 total) {
    assessment_.physiologicalScore = total;
    Q_EMIT physiologicalScoreSet(total);
}

void EpisodeModel::withdrawPhysiologicalScore() {
    assessment_.physiologicalScore = 0;
    Q_EMIT physiologicalScoreWithdrawn();
    Q_EMIT risksCleared();
    setCalculateEnabled(false);
}

void EpisodeModel::setOperativeScore(quint8 total) {
    assessment_.operativeScore = total;
    Q_EMIT operativeScoreSet(total);
}

void EpisodeModel::withdrawOperativeScore() {
    assessment_.operativeScore = 0;
    Q_EMIT operativeScoreWithdrawn();
    Q_EMIT risksCleared();
    setCalculateEnabled(false);
}

void EpisodeModel::startScoreChange() {
    clearDetailsShown();
    setReportEnabled(false);
}

bool EpisodeModel::calculate() {
    resetDetails();
    const std::uint8_t ps = assessment_.physiologicalScore;
    const std::uint8_t os = assessment_.operativeScore;
    if (ps == 0 || os == 0) {
        setReportEnabled(false);
        return false;
    }
    for (std::size_t kind = 0; kind < kRiskKindCount; ++kind)
        assessment_.risk(RiskKind(kind)) = ComputeRisk(RiskKind(kind), ps, os);
    setReportEnabled(true);
    setAddToFileEnabled(true);
    return true;
}

void EpisodeModel::resetDetails() {
    details_ = {};
    detailsShown_ = false;
    Q_EMIT detailsReset();
}

void EpisodeModel::setCalculateEnabled(bool enabled) {
    if (enabled == calculateEnabled_)
        return;
    calculateEnabled_ = enabled;
    Q_EMIT calculateEnabledChanged(enabled);
}

void EpisodeModel::setReportEnabled(bool enabled) {
    if (enabled == reportEnabled_)
        return;
    reportEnabled_ = enabled;
    Q_EMIT reportEnabledChanged(enabled);
}

void EpisodeModel::setAddToFileEnabled(bool enabled) {
    if (enabled == addToFileEnabled_)
        return;
    addToFileEnabled_ = enabled;
    Q_EMIT addToFileEnabledChanged(enabled);
}

} // namespace caldrin
