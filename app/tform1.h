#pragma once

#include "entry/pagelayout.h"
#include "scoring/assessment.h"

#include <QStringList>
#include <QWidget>

#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;

namespace caldrin {

class AuditDataFile;
class ScorePage;
class Platform;
class TForm2;
class TForm3;
class TForm4;
class TForm5;
class TForm6;
class TForm7;
struct ReportSources;

// The windows the main window opens and reads; they all exist before the main
// window is first shown.
struct SecondaryWindows {
    TForm2* form2 = nullptr; // physiological score, page 1
    TForm3* form3 = nullptr; // physiological score, page 2
    TForm4* form4 = nullptr; // operative severity
    TForm5* form5 = nullptr; // report
    TForm6* form6 = nullptr; // MD5 self-test results
    TForm7* form7 = nullptr; // patient details and outcome
};

// The main window: shows the two score totals and the five risks, opens the
// score dialogs, and runs Calculate, the report, the audit file, the MD5
// self-test and help. It owns the episode's Assessment.
class TForm1 : public QWidget {
    Q_OBJECT
public:
    // `arguments` are the command-line arguments after the program name.
    TForm1(Platform& platform, QStringList arguments, QWidget* parent = nullptr);
    ~TForm1() override;

    void setSecondaryWindows(const SecondaryWindows& windows) { windows_ = windows; }

    Assessment& assessment() { return assessment_; }
    const Assessment& assessment() const { return assessment_; }
    bool directEntry() const { return directEntry_; }

    // What the score dialogs report when they are confirmed or cancelled.
    void setPhysiologicalScore(quint8 total);
    void withdrawPhysiologicalScore();
    void setOperativeScore(quint8 total);
    void withdrawOperativeScore();

Q_SIGNALS:
    void helpRequested(const QString& topic);
    // The main window has closed: the program ends.
    void closed();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void setTabOrder();
    void FormShow();
    void scoreTextChanged();
    void clearRiskBoxes();
    QLineEdit* riskBox(RiskKind kind) const;
    const ScorePage& scorePage(Page page) const;
    void askForDetailsIfNeeded();
    ReportSources reportSources() const;

    void Button1Click(); // Calculate
    void Button2Click(); // Change Physiological score
    void Button3Click(); // Change Operative Severity score
    void Button4Click(); // Create Report
    void AddtofilebuttonClick();
    void TestMD5ButtonClick();
    void on_close();

    Platform& platform_;
    const QStringList arguments_;
    Assessment assessment_;
    SecondaryWindows windows_;
    std::unique_ptr<AuditDataFile> auditFile_;
    bool directEntry_ = false;
    bool shownOnce_ = false;

    QLabel* Label6 = nullptr;
    QLineEdit* Edit1 = nullptr; // Physiological score
    QLineEdit* Edit2 = nullptr; // Operative severity score
    QLineEdit* Edit3 = nullptr; // POSSUM mortality
    QLineEdit* Edit4 = nullptr; // P-POSSUM mortality
    QLineEdit* Edit5 = nullptr; // POSSUM morbidity
    QLineEdit* Edit6 = nullptr; // V-POSSUM mortality
    QLineEdit* Edit7 = nullptr; // V-POSSUM physiological mortality
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;
    QPushButton* Button3 = nullptr;
    QPushButton* Button4 = nullptr;
    QPushButton* Addtofilebutton = nullptr;
    QPushButton* TestMD5Button = nullptr;
    QPushButton* BitBtn3 = nullptr;
    QPushButton* BitBtn1 = nullptr;
};

} // namespace caldrin
