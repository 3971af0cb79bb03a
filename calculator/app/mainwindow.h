// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "report_core/reporttext.h"
#include "scoring/risk.h"

#include <QStringList>
#include <QWidget>

#include <array>
#include <memory>

class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;

namespace caldrin {

class AuditDataFile;
class EpisodeModel;
class Platform;
class UnitUpdatePanel;

// The main window: shows the two score totals and the five risks, opens the
// score dialogs, and runs Calculate, the report, the audit file, the MD5
// self-test and help. It is a view of the episode model; what another window
// does for it, it asks for by a signal.
class MainWindow : public QWidget {
    Q_OBJECT
public:
    // `arguments` are the command-line arguments after the program name.
    MainWindow(Platform& platform, EpisodeModel& episode, QStringList arguments,
               QWidget* parent = nullptr);
    ~MainWindow() override;

    // The unit's update shown beside the published figures, once read (after
    // the first showing); null before.
    UnitUpdatePanel* unitUpdatePanel() const { return unitUpdatePanel_; }

Q_SIGNALS:
    void physiologicalScoreRequested();
    void operativeScoreRequested();
    // Create Report and Add to file want the patient details: shows their
    // dialog modally unless it was shown since the scores last changed.
    void detailsNeeded();
    // Create Report, with the score and risk texts as the boxes show them.
    void reportRequested(const ReportSources& figures);
    void selfTestRequested();
    // The patient view, for the risks just calculated.
    void patientViewRequested();
    void helpRequested(const QString& topic);
    // The unit's update was read, set or cleared.
    void unitUpdateChanged();
    // The main window has closed: the program ends.
    void closed();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void setKeyboardOrder();
    void FormShow();
    void scoreTextChanged();
    void clearRiskBoxes();
    QLineEdit* riskBox(RiskKind kind) const;
    void showOtherPublishedRisks(char decimalSeparator);
    ReportSources shownFigures() const;
    void loadUnitUpdate();
    void showUnitUpdateFigure();

    void calculateClicked();
    void changePhysiologicalScoreClicked();
    void changeOperativeScoreClicked();
    void createReportClicked();
    void addToFileClicked();
    void testHashClicked();
    void on_close();

    Platform& platform_;
    EpisodeModel& episode_;
    const QStringList arguments_;
    std::unique_ptr<AuditDataFile> auditFile_;
    bool shownOnce_ = false;

    QLabel* titleLabel = nullptr;
    QLineEdit* physiologicalScoreEdit = nullptr;
    QLineEdit* operativeScoreEdit = nullptr;
    QLineEdit* possumMortalityEdit = nullptr;
    QLineEdit* pPossumMortalityEdit = nullptr;
    QLineEdit* possumMorbidityEdit = nullptr;
    QLineEdit* raaaPossumMortalityEdit = nullptr;
    QLineEdit* raaaPossumPhysiologicalMortalityEdit = nullptr;
    // The published equations shown beside the described risks, in the order
    // of otherPublishedModels in mainwindow.cpp.
    std::array<QLineEdit*, 3> otherPublishedEdits{};
    QPushButton* calculateButton = nullptr;
    QPushButton* physiologicalScoreButton = nullptr;
    QPushButton* operativeScoreButton = nullptr;
    QPushButton* reportButton = nullptr;
    QPushButton* addToFileButton = nullptr;
    QPushButton* testHashButton = nullptr;
    QPushButton* helpButton = nullptr;
    QPushButton* exitButton = nullptr;
    // Set apart below the added equations: enabled while the risks shown are
    // those of the scores shown.
    QPushButton* patientViewButton = nullptr;
    // Made after the first showing, so that start-up never waits for it.
    UnitUpdatePanel* unitUpdatePanel_ = nullptr;
    QGridLayout* grid_ = nullptr;
};

} // namespace caldrin
