#pragma once

#include "scoring/patientdetails.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace caldrin {

class OptionGroup;
class Platform;

// The patient details and outcome dialog: who the patient is, what happened
// after the operation, and the anonymous hashed identifier derived from the
// patient's name, identity and date of birth. Shown only modally by the main
// window; OK and Cancel both just close it, keeping whatever was entered.
class TForm7 : public QDialog {
    Q_OBJECT
public:
    explicit TForm7(Platform& platform, QWidget* parent = nullptr);

    // Empties every field and both outcome choices and clears DetailsShown.
    void ResetDetails();

    // Set whenever the dialog is shown; cleared by ResetDetails and by the
    // score-change commands (which keep the fields).
    bool DetailsShown() const { return detailsShown_; }
    void clearDetailsShown() { detailsShown_ = false; }

    // The texts exactly as they stand in the fields, as Windows-1252 bytes.
    PatientDetails details() const;

    // Escape and the close box run exactly what Cancel runs.
    void reject() override;

Q_SIGNALS:
    void helpRequested(const QString& topic);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void setKeyboardOrder();
    void HasH_IDClick();
    void RadioGroup1Click(int index);
    void RadioGroup2Click(int index);
    void BitBtn1Click();
    void BitBtn2Click();
    void BitBtn3Click();

    Platform& platform_;
    bool detailsShown_ = false;

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
