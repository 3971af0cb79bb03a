// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "entry/pagelayout.h"

#include <QStringList>

#include <memory>

namespace caldrin {

class AuditDataFile;
class EpisodeModel;
class Platform;
class ScorePage;
class WindowPlacer;
class MainWindow;
class PhysiologicalPage1;
class PhysiologicalPage2;
class OperativeDialog;
class ReportWindow;
class SelfTestWindow;
class PatientDetailsDialog;
class PatientView;
struct ReportSources;

// The episode model and the program's seven windows, each created once,
// hidden, and connected: the windows are views of the episode, and only here
// does one window's request reach another window. They live until the
// program ends.
// The main window and the score pages are made at start. The details dialog,
// the report window, the patient view and the self-test results are needed only once an
// episode is scored or a test is asked for, so each is made the first time
// it is wanted, which keeps them out of the start-up the user waits for.
class Program {
public:
    Program(Platform& platform, const QStringList& arguments);
    ~Program();

    // Shows the main window, which runs its show handler.
    void showMainWindow();

    EpisodeModel& episode() { return *episode_; }
    MainWindow& mainWindow() { return *mainWindow_; }
    PhysiologicalPage1& physiologicalPage1() { return *physiologicalPage1_; }
    PhysiologicalPage2& physiologicalPage2() { return *physiologicalPage2_; }
    OperativeDialog& operativeDialog() { return *operativeDialog_; }
    ReportWindow& reportWindow();
    SelfTestWindow& selfTestWindow();
    PatientDetailsDialog& detailsDialog();
    PatientView& patientView();

private:
    void connectScorePages();
    void connectHelp();
    void openPhysiologicalScore();
    void openOperativeScore();
    void askForDetailsIfNeeded();
    void createReport(const ReportSources& figures);
    void openPatientView();
    const ScorePage& scorePage(Page page) const;

    Platform& platform_;
    std::unique_ptr<EpisodeModel> episode_;
    std::unique_ptr<MainWindow> mainWindow_;
    std::unique_ptr<PhysiologicalPage1> physiologicalPage1_;
    std::unique_ptr<PhysiologicalPage2> physiologicalPage2_;
    std::unique_ptr<OperativeDialog> operativeDialog_;
    std::unique_ptr<ReportWindow> reportWindow_;
    std::unique_ptr<SelfTestWindow> selfTestWindow_;
    std::unique_ptr<PatientDetailsDialog> detailsDialog_;
    std::unique_ptr<PatientView> patientView_;
    std::unique_ptr<WindowPlacer> placer_;
};

} // namespace caldrin
