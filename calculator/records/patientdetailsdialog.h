// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "scoring/patientdetails.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace caldrin {

class EpisodeModel;
class OptionGroup;
class Platform;

// The patient details and outcome dialog: who the patient is, what happened
// after the operation, and the anonymous hashed identifier derived from the
// patient's name, identity and date of birth. A view of the episode model:
// every change of a field is the episode's details at once. Shown only
// modally, for the main window; OK and Cancel both just close it, keeping
// whatever was entered.
class PatientDetailsDialog : public QDialog {
    Q_OBJECT
public:
    PatientDetailsDialog(Platform& platform, EpisodeModel& episode, QWidget* parent = nullptr);

    // Empties every field and both outcome choices and clears DetailsShown.
    void ResetDetails();

    // Set whenever the dialog is shown; cleared by ResetDetails and by the
    // score-change commands (which keep the fields). Kept by the episode.
    bool DetailsShown() const;
    void clearDetailsShown();

    // The texts exactly as they stand in the fields, as Windows-1252 bytes.
    PatientDetails details() const;

    // Escape and the close box run exactly what Cancel runs.
    void reject() override;

Q_SIGNALS:
    void helpRequested(const QString& topic);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void clearFields();
    void fieldsEdited();
    void setKeyboardOrder();
    void hashIdentifierClicked();
    void morbidityChosen(int index);
    void diedChosen(int index);
    void okClicked();
    void cancelClicked();
    void helpClicked();

    Platform& platform_;
    EpisodeModel& episode_;
    // Nothing has been shown, typed or chosen since the fields were emptied,
    // so emptying them again can be skipped.
    bool fieldsEmpty_ = false;

    QLineEdit* nameEdit;
    QLineEdit* identityEdit;
    QLineEdit* dateOfBirthEdit;
    QLineEdit* procedureDateEdit;
    OptionGroup* morbidityGroup;
    OptionGroup* diedGroup;
    QLineEdit* morbidityEdit;
    QLineEdit* diedEdit;
    QPushButton* hashIdentifierButton;
    QPushButton* helpButton;
    QPushButton* cancelButton;
    QPushButton* okButton;
    QLineEdit* hashedIdentifierEdit;
};

} // namespace caldrin
