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
class TForm1;
class TForm2;
class TForm3;
class TForm4;
class TForm5;
class TForm6;
class TForm7;
struct ReportSources;

// The episode model and the program's seven windows, created once, hidden, in
// a fixed order, and connected: the windows are views of the episode, and
// only here does one window's request reach another window.
// They live until the program ends. The details dialog, the heaviest of them
// and needed only once an episode is scored, is made the first time it is
// wanted, which keeps it out of the start-up the user waits for.
class Program {
public:
    Program(Platform& platform, const QStringList& arguments);
    ~Program();

    // Shows the main window, which runs its show handler.
    void showMainWindow();

    EpisodeModel& episode() { return *episode_; }
    TForm1& mainWindow() { return *form1_; }
    TForm2& physiologicalPage1() { return *form2_; }
    TForm3& physiologicalPage2() { return *form3_; }
    TForm4& operativeDialog() { return *form4_; }
    TForm5& reportWindow() { return *form5_; }
    TForm6& selfTestWindow() { return *form6_; }
    TForm7& detailsDialog();

private:
    void connectScorePages();
    void connectHelp(Platform& platform);
    void openPhysiologicalScore();
    void openOperativeScore();
    void askForDetailsIfNeeded();
    void createReport(const ReportSources& figures);
    const ScorePage& scorePage(Page page) const;

    Platform& platform_;
    std::unique_ptr<EpisodeModel> episode_;
    std::unique_ptr<TForm1> form1_;
    std::unique_ptr<TForm2> form2_;
    std::unique_ptr<TForm3> form3_;
    std::unique_ptr<TForm4> form4_;
    std::unique_ptr<TForm5> form5_;
    std::unique_ptr<TForm6> form6_;
    std::unique_ptr<TForm7> form7_;
    std::unique_ptr<WindowPlacer> placer_;
};

} // namespace caldrin
