// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/program.h"

#include "app/mainwindow.h"
#include "app/unitupdatepanel.h"
#include "entry/operativedialog.h"
#include "entry/physiologicalpages.h"
#include "episode/episodemodel.h"
#include "patientview/patientview.h"
#include "platform/accessiblewindows.h"
#include "platform/helptopic.h"
#include "platform/platform.h"
#include "platform/windowplacement.h"
#include "records/patientdetailsdialog.h"
#include "records/selftestwindow.h"
#include "records_core/md5selftest.h"
#include "report/reportwindow.h"
#include "report_core/reporttext.h"
#include "widgets/textedge.h"

#include <QAbstractButton>
#include <QShortcut>

namespace caldrin {

namespace {

// F1 anywhere in `window` does what its Help button does, so each window
// keeps the one place that knows its help topic. A score page builds its
// buttons late, so the button is looked up when the key is pressed.
void addHelpKey(QWidget& window, const char* helpButtonName) {
    auto* key = new QShortcut(QKeySequence(Qt::Key_F1), &window);
    key->setContext(Qt::WindowShortcut);
    QObject::connect(key, &QShortcut::activated, &window, [&window, helpButtonName] {
        if (auto* button = window.findChild<QAbstractButton*>(helpButtonName))
            button->click();
    });
}

// The window's Help button and F1 open the window's help topic.
template <typename Window>
void wireHelp(Window& window, const char* helpButtonName, Platform& platform) {
    QObject::connect(&window, &Window::helpRequested, &window,
                     [&platform](const QString& topic) { ShowHelpTopic(platform, topic); });
    addHelpKey(window, helpButtonName);
}

} // namespace

Program::Program(Platform& platform, const QStringList& arguments)
    : platform_(platform)
    , episode_(std::make_unique<EpisodeModel>())
    , mainWindow_(std::make_unique<MainWindow>(platform, *episode_, arguments))
    , physiologicalPage1_(std::make_unique<PhysiologicalPage1>(platform, episode_->assessment()))
    , physiologicalPage2_(std::make_unique<PhysiologicalPage2>(platform, episode_->assessment()))
    , operativeDialog_(std::make_unique<OperativeDialog>(platform, episode_->assessment()))
    , placer_(std::make_unique<WindowPlacer>(*mainWindow_)) {
    installWindowRoles();
    // Every other window opens over the main window, inside the screen.
    for (QWidget* window : std::initializer_list<QWidget*>{
             physiologicalPage1_.get(), physiologicalPage2_.get(), operativeDialog_.get()})
        placer_->watch(*window);

    connectScorePages();
    QObject::connect(mainWindow_.get(), &MainWindow::detailsNeeded, mainWindow_.get(),
                     [this] { askForDetailsIfNeeded(); });
    QObject::connect(mainWindow_.get(), &MainWindow::reportRequested, mainWindow_.get(),
                     [this](const ReportSources& figures) { createReport(figures); });
    QObject::connect(mainWindow_.get(), &MainWindow::selfTestRequested, mainWindow_.get(),
                     [this] { selfTestWindow().showSelfTest(md5SelfTestLines()); });
    QObject::connect(mainWindow_.get(), &MainWindow::patientViewRequested, mainWindow_.get(),
                     [this] { openPatientView(); });
    // The view shows one calculation: when the scores change it closes, as
    // its button is disabled.
    const auto closePatientView = [this] {
        if (patientView_)
            patientView_->close();
    };
    QObject::connect(episode_.get(), &EpisodeModel::risksCleared, mainWindow_.get(),
                     closePatientView);
    // Nor does it show a figure of an update no longer in force.
    QObject::connect(mainWindow_.get(), &MainWindow::unitUpdateChanged, mainWindow_.get(),
                     closePatientView);
    QObject::connect(episode_.get(), &EpisodeModel::reportEnabledChanged, mainWindow_.get(),
                     [closePatientView](bool enabled) {
                         if (!enabled)
                             closePatientView();
                     });
    connectHelp();
}

Program::~Program() = default;

void Program::connectScorePages() {
    EpisodeModel* episode = episode_.get();
    QObject::connect(mainWindow_.get(), &MainWindow::physiologicalScoreRequested,
                     physiologicalPage1_.get(), [this] { openPhysiologicalScore(); });
    QObject::connect(mainWindow_.get(), &MainWindow::operativeScoreRequested,
                     operativeDialog_.get(), [this] { openOperativeScore(); });
    QObject::connect(physiologicalPage1_.get(), &PhysiologicalPage1::completed,
                     physiologicalPage2_.get(), &PhysiologicalPage2::startPage2);
    QObject::connect(physiologicalPage2_.get(), &PhysiologicalPage2::scoreConfirmed, episode,
                     &EpisodeModel::setPhysiologicalScore);
    QObject::connect(operativeDialog_.get(), &OperativeDialog::scoreConfirmed, episode,
                     &EpisodeModel::setOperativeScore);
    QObject::connect(physiologicalPage1_.get(), &PhysiologicalPage1::scoreCancelled, episode,
                     &EpisodeModel::withdrawPhysiologicalScore);
    QObject::connect(physiologicalPage2_.get(), &PhysiologicalPage2::scoreCancelled, episode,
                     &EpisodeModel::withdrawPhysiologicalScore);
    // Page 1 opened again and cancelled withdraws the whole score: a page 2
    // still shown from before would otherwise complete it from a subtotal
    // whose choices are gone.
    QObject::connect(physiologicalPage1_.get(), &PhysiologicalPage1::scoreCancelled,
                     physiologicalPage2_.get(), &QWidget::hide);
    QObject::connect(operativeDialog_.get(), &OperativeDialog::scoreCancelled, episode,
                     &EpisodeModel::withdrawOperativeScore);
}

void Program::connectHelp() {
    wireHelp(*mainWindow_, "BitBtn3", platform_);
    wireHelp(*physiologicalPage1_, "BitBtn3", platform_);
    wireHelp(*physiologicalPage2_, "BitBtn3", platform_);
    wireHelp(*operativeDialog_, "BitBtn3", platform_);
}

void Program::openPhysiologicalScore() {
    PhysiologicalPage1& page1 = *physiologicalPage1_;
    page1.SetUpForm2();
    page1.show();
    page1.raise();
    page1.activateWindow();
    page1.focusAgeGroup();
    page1.repaint();
}

void Program::openOperativeScore() {
    OperativeDialog& dialog = *operativeDialog_;
    dialog.SetUpForm4();
    // The dialog takes the keyboard: keys meant for it must not reach the
    // main window's commands.
    dialog.show();
    dialog.raise();
    dialog.activateWindow();
    dialog.focusFirstGroup();
}

PatientDetailsDialog& Program::detailsDialog() {
    if (!detailsDialog_) {
        detailsDialog_ = std::make_unique<PatientDetailsDialog>(platform_, *episode_);
        placer_->watch(*detailsDialog_);
        wireHelp(*detailsDialog_, "BitBtn3", platform_);
    }
    return *detailsDialog_;
}

ReportWindow& Program::reportWindow() {
    if (!reportWindow_) {
        reportWindow_ = std::make_unique<ReportWindow>(platform_);
        placer_->watch(*reportWindow_);
        wireHelp(*reportWindow_, "BitBtn2", platform_);
    }
    return *reportWindow_;
}

SelfTestWindow& Program::selfTestWindow() {
    if (!selfTestWindow_) {
        selfTestWindow_ = std::make_unique<SelfTestWindow>();
        placer_->watch(*selfTestWindow_);
        wireHelp(*selfTestWindow_, "BitBtn2", platform_);
    }
    return *selfTestWindow_;
}

PatientView& Program::patientView() {
    if (!patientView_) {
        patientView_ = std::make_unique<PatientView>(platform_);
        placer_->watch(*patientView_);
        wireHelp(*patientView_, "HelpButton", platform_);
    }
    return *patientView_;
}

void Program::openPatientView() {
    const Assessment& assessment = episode_->assessment();
    const UnitUpdatePanel* unitUpdate = mainWindow_->unitUpdatePanel();
    patientView().setUnitUpdate(unitUpdate ? unitUpdate->update() : std::nullopt);
    patientView().showFor(
        {assessment.factorPoints, assessment.physiologicalScore, assessment.operativeScore});
}

void Program::askForDetailsIfNeeded() {
    if (!episode_->DetailsShown())
        platform_.runModal(detailsDialog()); // goes on however the dialog closes
}

const ScorePage& Program::scorePage(Page page) const {
    switch (page) {
    case Page::Physiological1:
        return *physiologicalPage1_;
    case Page::Physiological2:
        return *physiologicalPage2_;
    case Page::Operative:
        break;
    }
    return *operativeDialog_;
}

void Program::createReport(const ReportSources& figures) {
    ReportSources sources = figures;
    sources.patient = episode_->details();
    for (const FactorDef& def : allFactors()) {
        sources.factorPoints[indexOf(def.factor)] =
            toCp1252Bytes(scorePage(placeOf(def.factor).page).pointsDisplayText(def.factor));
    }
    ReportWindow& report = reportWindow();
    report.fillReport(sources);
    report.showReport();
}

void Program::showMainWindow() {
    mainWindow_->show();
}

} // namespace caldrin
