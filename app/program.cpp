#include "app/program.h"

#include "app/help.h"
#include "app/tform1.h"
#include "entry/operativedialog.h"
#include "entry/physiologicalpages.h"
#include "platform/accessiblewindows.h"
#include "platform/platform.h"
#include "platform/windowplacement.h"
#include "records/tform6.h"
#include "records/tform7.h"
#include "report/tform5.h"

namespace caldrin {

Program::Program(Platform& platform, const QStringList& arguments)
    : form1_(std::make_unique<TForm1>(platform, arguments))
    , form2_(std::make_unique<TForm2>(platform, form1_->assessment()))
    , form3_(std::make_unique<TForm3>(platform, form1_->assessment()))
    , form4_(std::make_unique<TForm4>(platform, form1_->assessment()))
    , form5_(std::make_unique<TForm5>(platform))
    , form6_(std::make_unique<TForm6>())
    , form7_(std::make_unique<TForm7>(platform))
    , placer_(std::make_unique<WindowPlacer>(*form1_)) {
    installWindowRoles();
    // Every other window opens over the main window, inside the screen.
    for (QWidget* window : std::initializer_list<QWidget*>{
             form2_.get(), form3_.get(), form4_.get(), form5_.get(), form6_.get(), form7_.get()})
        placer_->watch(*window);
    form1_->setSecondaryWindows(
        {form2_.get(), form3_.get(), form4_.get(), form5_.get(), form6_.get(), form7_.get()});

    QObject::connect(form2_.get(), &TForm2::completed, form3_.get(), &TForm3::startPage2);
    QObject::connect(form3_.get(), &TForm3::scoreConfirmed, form1_.get(),
                     &TForm1::setPhysiologicalScore);
    QObject::connect(form4_.get(), &TForm4::scoreConfirmed, form1_.get(),
                     &TForm1::setOperativeScore);
    QObject::connect(form2_.get(), &TForm2::scoreCancelled, form1_.get(),
                     &TForm1::withdrawPhysiologicalScore);
    QObject::connect(form3_.get(), &TForm3::scoreCancelled, form1_.get(),
                     &TForm1::withdrawPhysiologicalScore);
    // Page 1 opened again and cancelled withdraws the whole score: a page 2
    // still shown from before would otherwise complete it from a subtotal
    // whose choices are gone.
    QObject::connect(form2_.get(), &TForm2::scoreCancelled, form3_.get(), &QWidget::hide);
    QObject::connect(form4_.get(), &TForm4::scoreCancelled, form1_.get(),
                     &TForm1::withdrawOperativeScore);
    connectHelp(platform);
}

Program::~Program() = default;

void Program::connectHelp(Platform& platform) {
    auto showTopic = [&platform](const QString& topic) { ShowHelpTopic(platform, topic); };
    QObject::connect(form1_.get(), &TForm1::helpRequested, form1_.get(), showTopic);
    QObject::connect(form2_.get(), &TForm2::helpRequested, form1_.get(), showTopic);
    QObject::connect(form3_.get(), &TForm3::helpRequested, form1_.get(), showTopic);
    QObject::connect(form4_.get(), &TForm4::helpRequested, form1_.get(), showTopic);
    QObject::connect(form5_.get(), &TForm5::helpRequested, form1_.get(), showTopic);
    QObject::connect(form6_.get(), &TForm6::helpRequested, form1_.get(), showTopic);
    QObject::connect(form7_.get(), &TForm7::helpRequested, form1_.get(), showTopic);
}

void Program::showMainWindow() {
    form1_->show();
}

} // namespace caldrin
