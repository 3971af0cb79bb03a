#include "app/tform1.h"

#include "entry/operativedialog.h"
#include "entry/physiologicalpages.h"
#include "platform/platform.h"
#include "records/auditdatafile.h"
#include "records/tform6.h"
#include "records/tform7.h"
#include "records_core/md5selftest.h"
#include "report/tform5.h"
#include "report_core/reporttext.h"
#include "scoring/integertext.h"
#include "widgets/textedge.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>

namespace caldrin {

namespace {

const QString kDataErrorMessage =
    QStringLiteral("Data error.\nEnter correct data for scores above.");

QPushButton* makeButton(const QString& text, const QString& name, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    return button;
}

QLineEdit* makeBox(const QString& name, QWidget* parent) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(name);
    return box;
}

// The label also names its box for screen readers, which announce a score or
// a risk by it.
QLabel* makeLabel(const QString& text, QWidget* buddy, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setBuddy(buddy);
    buddy->setAccessibleName(text);
    return label;
}

// The decimal separator the core can use; a separator outside ASCII cannot be
// one byte of the percentage text, so the full stop stands in for it.
char decimalSeparatorOf(QChar separator) {
    return separator.unicode() < 0x80 ? char(separator.unicode()) : '.';
}

} // namespace

TForm1::TForm1(Platform& platform, QStringList arguments, QWidget* parent)
    : QWidget(parent)
    , platform_(platform)
    , arguments_(std::move(arguments))
    , auditFile_(std::make_unique<AuditDataFile>(platform, this)) {
    setObjectName(QStringLiteral("TForm1"));
    setWindowTitle(QStringLiteral("Caldrin Calculator"));
    buildControls();
    setTabOrder();
}

TForm1::~TForm1() = default;

void TForm1::buildControls() {
    Label6 = new QLabel(QStringLiteral("Caldrin Calculator v3"), this);
    Label6->setObjectName(QStringLiteral("Label6"));
    QFont titleFont = Label6->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.8);
    Label6->setFont(titleFont);
    QPalette titlePalette = Label6->palette();
    titlePalette.setColor(QPalette::WindowText, Qt::red);
    Label6->setPalette(titlePalette);

    Edit1 = makeBox(QStringLiteral("Edit1"), this);
    Edit2 = makeBox(QStringLiteral("Edit2"), this);
    Edit3 = makeBox(QStringLiteral("Edit3"), this);
    Edit4 = makeBox(QStringLiteral("Edit4"), this);
    Edit5 = makeBox(QStringLiteral("Edit5"), this);
    Edit6 = makeBox(QStringLiteral("Edit6"), this);
    Edit7 = makeBox(QStringLiteral("Edit7"), this);
    // Boxes that are skipped by Tab still take a click, so that typed scores
    // (with /TEST) and the risk texts can be selected.
    for (QLineEdit* box : {Edit1, Edit2, Edit3, Edit4, Edit5})
        box->setFocusPolicy(Qt::ClickFocus);
    for (QLineEdit* box : {Edit3, Edit4, Edit5})
        box->setReadOnly(true);
    // What can be typed into a box goes into the report file as 8-bit text.
    for (QLineEdit* box : {Edit1, Edit2, Edit6, Edit7})
        box->setValidator(new Cp1252Validator(box));

    Button2 =
        makeButton(QStringLiteral("Change &Physiological score"), QStringLiteral("Button2"), this);
    Button3 = makeButton(QStringLiteral("Change &Operative Severity score"),
                         QStringLiteral("Button3"), this);
    Button1 = makeButton(QStringLiteral("&Calculate"), QStringLiteral("Button1"), this);
    TestMD5Button = makeButton(QStringLiteral("&Test Hash"), QStringLiteral("TestMD5Button"), this);
    Button4 = makeButton(QStringLiteral("Create &Report"), QStringLiteral("Button4"), this);
    Addtofilebutton =
        makeButton(QStringLiteral("&Add to file"), QStringLiteral("Addtofilebutton"), this);
    BitBtn3 = makeButton(QStringLiteral("&Help"), QStringLiteral("BitBtn3"), this);
    BitBtn1 = makeButton(QStringLiteral("E&xit"), QStringLiteral("BitBtn1"), this);
    Button1->setEnabled(false);
    Button4->setEnabled(false);
    Addtofilebutton->setEnabled(false);

    auto* grid = new QGridLayout(this);
    grid->addWidget(Label6, 0, 0, 1, 3, Qt::AlignHCenter);
    grid->addWidget(makeLabel(QStringLiteral("Physiological score:"), Edit1, this), 1, 0);
    grid->addWidget(Edit1, 1, 1);
    grid->addWidget(Button2, 1, 2);
    grid->addWidget(makeLabel(QStringLiteral("Operative severity score:"), Edit2, this), 2, 0);
    grid->addWidget(Edit2, 2, 1);
    grid->addWidget(Button3, 2, 2);
    grid->addWidget(Button1, 3, 1);
    // From the top the risk boxes show kinds 1, 0, 2, 3, 4.
    grid->addWidget(makeLabel(QStringLiteral("POSSUM morbidity score"), Edit5, this), 4, 0);
    grid->addWidget(Edit5, 4, 1);
    grid->addWidget(makeLabel(QStringLiteral("POSSUM mortalilty score"), Edit3, this), 5, 0);
    grid->addWidget(Edit3, 5, 1);
    grid->addWidget(makeLabel(QStringLiteral("P-POSSUM mortalitity score"), Edit4, this), 6, 0);
    grid->addWidget(Edit4, 6, 1);
    grid->addWidget(makeLabel(QStringLiteral("V - POSSUM mortality score"), Edit6, this), 7, 0);
    grid->addWidget(Edit6, 7, 1);
    grid->addWidget(
        makeLabel(QStringLiteral("V - POSSUM physiological mortality score"), Edit7, this), 8, 0);
    grid->addWidget(Edit7, 8, 1);
    grid->addWidget(TestMD5Button, 8, 2);
    auto* bottomRow = new QHBoxLayout;
    for (QPushButton* button : {Button4, Addtofilebutton, BitBtn3, BitBtn1})
        bottomRow->addWidget(button);
    grid->addLayout(bottomRow, 9, 0, 1, 3);

    connect(Edit1, &QLineEdit::textChanged, this, &TForm1::scoreTextChanged);
    connect(Edit2, &QLineEdit::textChanged, this, &TForm1::scoreTextChanged);
    connect(Button1, &QPushButton::clicked, this, &TForm1::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TForm1::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &TForm1::Button3Click);
    connect(Button4, &QPushButton::clicked, this, &TForm1::Button4Click);
    connect(Addtofilebutton, &QPushButton::clicked, this, &TForm1::AddtofilebuttonClick);
    connect(TestMD5Button, &QPushButton::clicked, this, &TForm1::TestMD5ButtonClick);
    connect(BitBtn3, &QPushButton::clicked, this,
            [this] { Q_EMIT helpRequested(QStringLiteral("contents")); });
    connect(BitBtn1, &QPushButton::clicked, this, &QWidget::close);
}

void TForm1::setTabOrder() {
    const QWidget* order[] = {Button2, Button3, Button1, Button4,       Addtofilebutton,
                              BitBtn1, Edit1,   Edit2,   Edit3,         Edit4,
                              Edit5,   Edit6,   Edit7,   TestMD5Button, BitBtn3};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i)
        QWidget::setTabOrder(const_cast<QWidget*>(order[i]), const_cast<QWidget*>(order[i + 1]));
}

void TForm1::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!shownOnce_) {
        shownOnce_ = true;
        FormShow();
        Button2->setFocus();
    }
}

void TForm1::FormShow() {
    if (windows_.form7)
        windows_.form7->ResetDetails();
    Button1->setEnabled(false);
    Button4->setEnabled(false);
    Addtofilebutton->setEnabled(false);
    Button1->setText(QStringLiteral("&Calculate"));
    for (QLineEdit* box : {Edit1, Edit2, Edit3, Edit4, Edit5, Edit6, Edit7})
        box->clear();

    const QString first = arguments_.value(0);
    QString upper;
    for (QChar c : first)
        upper += (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ? c.toUpper() : c;
    directEntry_ = upper == QLatin1String("/TEST");
    Edit1->setReadOnly(!directEntry_);
    Edit2->setReadOnly(!directEntry_);
}

QLineEdit* TForm1::riskBox(RiskKind kind) const {
    switch (kind) {
    case RiskKind::PossumMortality:
        return Edit3;
    case RiskKind::PossumMorbidity:
        return Edit5;
    case RiskKind::PPossumMortality:
        return Edit4;
    case RiskKind::VPossumMortality:
        return Edit6;
    case RiskKind::VPossumPhysiologicalMortality:
        return Edit7;
    }
    return Edit3;
}

void TForm1::clearRiskBoxes() {
    for (QLineEdit* box : {Edit3, Edit4, Edit5, Edit6, Edit7})
        box->clear();
}

void TForm1::scoreTextChanged() {
    const std::string psText = Edit1->text().toStdString();
    const std::string osText = Edit2->text().toStdString();
    if (directEntry_) {
        // Each box stands for its own total: a text that is not a score from
        // 0 to 255 leaves that total "not entered", so that Calculate never
        // shows risks for a number that is no longer in the box.
        assessment_.physiologicalScore = scoreFromText(psText);
        assessment_.operativeScore = scoreFromText(osText);
    }
    if (IsInteger(psText) && assessment_.physiologicalScore != 0 && IsInteger(osText) &&
        assessment_.operativeScore != 0) {
        Button1->setEnabled(true);
        clearRiskBoxes();
    }
}

void TForm1::setPhysiologicalScore(quint8 total) {
    assessment_.physiologicalScore = total;
    Edit1->setText(QString::number(total));
}

void TForm1::withdrawPhysiologicalScore() {
    assessment_.physiologicalScore = 0;
    Edit1->clear();
    clearRiskBoxes();
    Button1->setEnabled(false);
}

void TForm1::setOperativeScore(quint8 total) {
    assessment_.operativeScore = total;
    Edit2->setText(QString::number(total));
}

void TForm1::withdrawOperativeScore() {
    assessment_.operativeScore = 0;
    Edit2->clear();
    clearRiskBoxes();
    Button1->setEnabled(false);
}

void TForm1::Button1Click() {
    windows_.form7->ResetDetails();
    const std::uint8_t ps = assessment_.physiologicalScore;
    const std::uint8_t os = assessment_.operativeScore;
    if (ps == 0 || os == 0) {
        platform_.showMessage(this, kDataErrorMessage);
        Button4->setEnabled(false);
        return;
    }
    const char separator = decimalSeparatorOf(platform_.regionalSettings().decimalSeparator);
    for (RiskKind kind :
         {RiskKind::PossumMortality, RiskKind::PPossumMortality, RiskKind::PossumMorbidity,
          RiskKind::VPossumMortality, RiskKind::VPossumPhysiologicalMortality}) {
        assessment_.risk(kind) = ComputeRisk(kind, ps, os);
        riskBox(kind)->setText(
            QString::fromStdString(FormatRiskPercent(assessment_.risk(kind), separator)));
    }
    Button4->setEnabled(true);
    Addtofilebutton->setEnabled(true);
}

void TForm1::Button2Click() {
    windows_.form7->clearDetailsShown();
    Button4->setEnabled(false);
    TForm2& page1 = *windows_.form2;
    page1.SetUpForm2();
    page1.show();
    page1.raise();
    page1.activateWindow();
    page1.focusAgeGroup();
    page1.repaint();
}

void TForm1::Button3Click() {
    windows_.form7->clearDetailsShown();
    Button4->setEnabled(false);
    TForm4& dialog = *windows_.form4;
    dialog.SetUpForm4();
    // The dialog takes the keyboard: keys meant for it must not reach the
    // main window's commands.
    dialog.show();
    dialog.raise();
    dialog.activateWindow();
    dialog.focusFirstGroup();
}

const ScorePage& TForm1::scorePage(Page page) const {
    switch (page) {
    case Page::Physiological1:
        return *windows_.form2;
    case Page::Physiological2:
        return *windows_.form3;
    case Page::Operative:
        break;
    }
    return *windows_.form4;
}

void TForm1::askForDetailsIfNeeded() {
    if (!windows_.form7->DetailsShown())
        platform_.runModal(*windows_.form7); // goes on however the dialog closes
}

ReportSources TForm1::reportSources() const {
    ReportSources sources;
    sources.patient = windows_.form7->details();
    for (const FactorDef& def : allFactors()) {
        sources.factorPoints[indexOf(def.factor)] =
            toCp1252Bytes(scorePage(placeOf(def.factor).page).pointsDisplayText(def.factor));
    }
    sources.physiologicalScore = toCp1252Bytes(Edit1->text());
    sources.operativeScore = toCp1252Bytes(Edit2->text());
    for (std::size_t kind = 0; kind < kRiskKindCount; ++kind)
        sources.risks[kind] = toCp1252Bytes(riskBox(RiskKind(kind))->text());
    return sources;
}

void TForm1::Button4Click() {
    askForDetailsIfNeeded();
    windows_.form5->ComposeReport(reportSources());
    windows_.form5->showReport();
}

void TForm1::AddtofilebuttonClick() {
    askForDetailsIfNeeded();
    auditFile_->addRecord(assessment_, windows_.form7->details());
}

void TForm1::TestMD5ButtonClick() {
    windows_.form6->showSelfTest(MD5SelfTestLines());
}

void TForm1::closeEvent(QCloseEvent* event) {
    on_close();
    event->accept();
    Q_EMIT closed();
}

void TForm1::on_close() {
    auditFile_->CloseAuditFile();
}

} // namespace caldrin
