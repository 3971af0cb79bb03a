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
class TForm7 : public QDialog {
    Q_OBJECT
public:
    TForm7(Platform& platform, EpisodeModel& episode, QWidget* parent = nullptr);

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
    void HasH_IDClick();
    void RadioGroup1Click(int index);
    void RadioGroup2Click(int index);
    void BitBtn1Click();
    void BitBtn2Click();
    void BitBtn3Click();

    Platform& platform_;
    EpisodeModel& episode_;
    // Nothing has been shown, typed or chosen since the fields were emptied,
    // so emptying them again can be skipped.
    bool fieldsEmpty_ = false;

    QLineEdit* Name_Edit;
    QLineEdit* ID_Edit;
    QLineEdit* DOB_Edit;
    QLineEdit* Procdate;
    OptionGroup* RadioGroup1;
    OptionGroup* RadioGroup2;
    QLineEdit* MorbidEdit;
    QLineEdit* DiedEdit;
    QPushButton* HasH_ID;
    QPushButton* BitBtn3;
    QPushButton* BitBtn2;
    QPushButton* BitBtn1;
    QLineEdit* Edit1;
};

} // namespace caldrin
