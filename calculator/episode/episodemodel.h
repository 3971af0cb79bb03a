// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "scoring/assessment.h"
#include "scoring/patientdetails.h"

#include <QObject>

#include <string_view>

namespace caldrin {

// One episode: its Assessment, the patient details as last entered, whether
// the details dialog has been shown since the scores last changed, and which
// of Calculate, Create Report and Add to file may be pressed. The windows are
// views of it: they call its commands and follow its signals, and never reach
// each other.
class EpisodeModel : public QObject {
    Q_OBJECT
public:
    explicit EpisodeModel(QObject* parent = nullptr);

    // The score dialogs write their factor points straight into it.
    Assessment& assessment() { return assessment_; }
    const Assessment& assessment() const { return assessment_; }

    // Direct entry (/TEST): the score boxes are typed into, each judged alone.
    bool directEntry() const { return directEntry_; }

    bool calculateEnabled() const { return calculateEnabled_; }
    bool reportEnabled() const { return reportEnabled_; }
    bool addToFileEnabled() const { return addToFileEnabled_; }

    // The main window's first showing: empty details, no command enabled.
    void startEpisode(bool directEntry);

    // The score boxes now read `physiological` and `operative`.
    void scoreTextsChanged(std::string_view physiological, std::string_view operative);

    // What the score dialogs report when they are confirmed or cancelled.
    void setPhysiologicalScore(quint8 total);
    void withdrawPhysiologicalScore();
    void setOperativeScore(quint8 total);
    void withdrawOperativeScore();

    // A score dialog is about to open: the report waits for a new Calculate,
    // and the details are asked for again.
    void startScoreChange();

    // Empties the details and computes the five risks. False (and Create
    // Report disabled) while a total is not entered.
    bool calculate();

    const PatientDetails& details() const { return details_; }
    void setDetails(PatientDetails details) { details_ = std::move(details); }
    bool DetailsShown() const { return detailsShown_; }
    void setDetailsShown() { detailsShown_ = true; }
    void clearDetailsShown() { detailsShown_ = false; }
    // Empties the details and clears DetailsShown; the dialog empties its fields.
    void resetDetails();

Q_SIGNALS:
    void calculateEnabledChanged(bool enabled);
    void reportEnabledChanged(bool enabled);
    void addToFileEnabledChanged(bool enabled);
    void physiologicalScoreSet(quint8 total);
    void physiologicalScoreWithdrawn();
    void operativeScoreSet(quint8 total);
    void operativeScoreWithdrawn();
    // The risks shown no longer belong to the scores.
    void risksCleared();
    void detailsReset();

private:
    void setCalculateEnabled(bool enabled);
    void setReportEnabled(bool enabled);
    void setAddToFileEnabled(bool enabled);

    Assessment assessment_;
    PatientDetails details_;
    bool detailsShown_ = false;
    bool directEntry_ = false;
    bool calculateEnabled_ = false;
    bool reportEnabled_ = false;
    bool addToFileEnabled_ = false;
};

} // namespace caldrin
