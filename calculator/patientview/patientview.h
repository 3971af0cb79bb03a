// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "modelupdate/modelupdate.h"
#include "patientview/patientsheet.h"
#include "riskmodels/riskmodels.h"
#include "scoring/factors.h"

#include <QWidget>

#include <array>
#include <cstdint>
#include <optional>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace caldrin {

class IconArray;
class Platform;

// The factors and scores of one calculation, as the patient view needs them.
struct ScoredEpisode {
    std::array<std::uint8_t, kFactorCount> factorPoints{};
    std::uint8_t physiologicalScore = 0;
    std::uint8_t operativeScore = 0;
};

// The view a surgeon turns towards the patient: the chosen model's risk as a
// picture of 100 (or 1,000) people and a sentence in whole people, the
// complications in words, what adds most to the risk with what-ifs, and a
// one-page sheet to print or save as PDF. It shows one calculation and is
// closed when the scores change.
class PatientView : public QWidget {
    Q_OBJECT
public:
    explicit PatientView(Platform& platform, QWidget* parent = nullptr);

    // Shows the view for `episode`, the patient's name emptied, the model
    // chosen before kept (P-POSSUM at first).
    void showFor(const ScoredEpisode& episode);

    // The unit's update, when one is set: offered first among the models and
    // chosen whenever it changes. Without one, P-POSSUM is chosen.
    void setUnitUpdate(const std::optional<modelupdate::ModelUpdate>& update);

    // What the sheet would say now.
    PatientSheet sheet() const;

Q_SIGNALS:
    void helpRequested(const QString& topic);

private:
    void buildControls();
    void fillModels();
    void refresh();
    const riskmodels::RiskModel& chosenModel() const;
    // The unit's update is the entry chosen.
    bool updateChosen() const;
    void printClicked();
    void savePdfClicked();

    Platform& platform_;
    ScoredEpisode episode_;
    std::optional<modelupdate::ModelUpdate> unitUpdate_;

    QComboBox* modelSelector;
    QLabel* populationNote;
    IconArray* picture;
    QLabel* sentenceLabel;
    QLabel* complicationLabel;
    QLabel* uncertaintyLabel;
    QLabel* driversLabel;
    QLineEdit* patientNameEdit;
    QPushButton* printButton;
    QPushButton* savePdfButton;
    QPushButton* helpButton;
    QPushButton* closeButton;
};

} // namespace caldrin
