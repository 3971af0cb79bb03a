#include "app/program.h"

#include "app/help.h"
#include "app/tform1.h"
#include "entry/operativedialog.h"
#include "entry/physiologicalpages.h"
#include "episode/episodemodel.h"
#include "platform/accessiblewindows.h"
#include "platform/platform.h"
#include "platform/windowplacement.h"
#include "records/tform6.h"
#include "records/tform7.h"
#include "records_core/md5selftest.h"
#include "report/tform5.h"
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

} // namespace

Program::Program(Platform& platform, const QStringList& arguments)
    : platform_(platform)
    , episode_(std::make_unique<EpisodeModel>())
    , form1_(std::make_unique<TForm1>(platform, *episode_, arguments))
    , form2_(std::make_unique<TForm2>(platform, episode_->assessment()))
    , form3_(std::make_unique<TForm3>(platform, episode_->assessment()))
    , form4_(std::make_unique<TForm4>(platform, episode_->assessment()))
    , form5_(std::make_unique<TForm5>(platform))
    , form6_(std::make_unique<TForm6>())
    , placer_(std::make_unique<WindowPlacer>(*form1_)) {
    installWindowRoles();
    // Every other window opens over the main window, inside the screen.
    for (QWidget* window : std::initializer_list<QWidget*>{form2_.get(), form3_.get(), form4_.get(),
                                                           form5_.get(), form6_.get()})
        placer_->watch(*window);

    connectScorePages();
    QObject::connect(form1_.get(), &TForm1::detailsNeeded, form1_.get(),
                     [this] { askForDetailsIfNeeded(); });
    QObject::connect(form1_.get(), &TForm1::reportRequested, form1_.get(),
                     [this](const ReportSources& figures) { createReport(figures); });
    QObject::connect(form1_.get(), &TForm1::selfTestRequested, form6_.get(),
                     [this] { form6_->showSelfTest(md5SelfTestLines()); });
    connectHelp(platform);
}

Program::~Program() = default;

void Program::connectScorePages() {
    EpisodeModel* episode = episode_.get();
    QObject::connect(form1_.get(), &TForm1::physiologicalScoreRequested, form2_.get(),
                     [this] { openPhysiologicalScore(); });
    QObject::connect(form1_.get(), &TForm1::operativeScoreRequested, form4_.get(),
                     [this] { openOperativeScore(); });
    QObject::connect(form2_.get(), &TForm2::completed, form3_.get(), &TForm3::startPage2);
    QObject::connect(form3_.get(), &TForm3::scoreConfirmed, episode,
                     &EpisodeModel::setPhysiologicalScore);
    QObject::connect(form4_.get(), &TForm4::scoreConfirmed, episode,
                     &EpisodeModel::setOperativeScore);
    QObject::connect(form2_.get(), &TForm2::scoreCancelled, episode,
                     &EpisodeModel::withdrawPhysiologicalScore);
    QObject::connect(form3_.get(), &TForm3::scoreCancelled, episode,
                     &EpisodeModel::withdrawPhysiologicalScore);
    // Page 1 opened again and cancelled withdraws the whole score: a page 2
    // still shown from before would otherwise complete it from a subtotal
    // whose choices are gone.
    QObject::connect(form2_.get(), &TForm2::scoreCancelled, form3_.get(), &QWidget::hide);
    QObject::connect(form4_.get(), &TForm4::scoreCancelled, episode,
                     &EpisodeModel::withdrawOperativeScore);
}

void Program::connectHelp(Platform& platform) {
    auto showTopic = [&platform](const QString& topic) { ShowHelpTopic(platform, topic); };
    QObject::connect(form1_.get(), &TForm1::helpRequested, form1_.get(), showTopic);
    QObject::connect(form2_.get(), &TForm2::helpRequested, form1_.get(), showTopic);
    QObject::connect(form3_.get(), &TForm3::helpRequested, form1_.get(), showTopic);
    QObject::connect(form4_.get(), &TForm4::helpRequested, form1_.get(), showTopic);
    QObject::connect(form5_.get(), &TForm5::helpRequested, form1_.get(), showTopic);
    QObject::connect(form6_.get(), &TForm6::helpRequested, form1_.get(), showTopic);

    addHelpKey(*form1_, "BitBtn3");
    addHelpKey(*form2_, "BitBtn3");
    addHelpKey(*form3_, "BitBtn3");
    addHelpKey(*form4_, "BitBtn3");
    addHelpKey(*form5_, "BitBtn2");
    addHelpKey(*form6_, "BitBtn2");
}

void Program::openPhysiologicalScore() {
    TForm2& page1 = *form2_;
    page1.SetUpForm2();
    page1.show();
    page1.raise();
    page1.activateWindow();
    page1.focusAgeGroup();
    page1.repaint();
}

void Program::openOperativeScore() {
    TForm4& dialog = *form4_;
    dialog.SetUpForm4();
    // The dialog takes the keyboard: keys meant for it must not reach the
    // main window's commands.
    dialog.show();
    dialog.raise();
    dialog.activateWindow();
    dialog.focusFirstGroup();
}

TForm7& Program::detailsDialog() {
    if (!form7_) {
        form7_ = std::make_unique<TForm7>(platform_, *episode_);
        placer_->watch(*form7_);
        QObject::connect(form7_.get(), &TForm7::helpRequested, form1_.get(),
                         [this](const QString& topic) { ShowHelpTopic(platform_, topic); });
        addHelpKey(*form7_, "BitBtn3");
    }
    return *form7_;
}

void Program::askForDetailsIfNeeded() {
    if (!episode_->DetailsShown())
        platform_.runModal(detailsDialog()); // goes on however the dialog closes
}

const ScorePage& Program::scorePage(Page page) const {
    switch (page) {
    case Page::Physiological1:
        return *form2_;
    case Page::Physiological2:
        return *form3_;
    case Page::Operative:
        break;
    }
    return *form4_;
}

void Program::createReport(const ReportSources& figures) {
    ReportSources sources = figures;
    sources.patient = episode_->details();
    for (const FactorDef& def : allFactors()) {
        sources.factorPoints[indexOf(def.factor)] =
            toCp1252Bytes(scorePage(placeOf(def.factor).page).pointsDisplayText(def.factor));
    }
    form5_->fillReport(sources);
    form5_->showReport();
}

void Program::showMainWindow() {
    form1_->show();
}

} // namespace caldrin
