#include "app/tform1.h"

#include "episode/episodemodel.h"
#include "platform/platform.h"
#include "records/auditdatafile.h"
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

TForm1::TForm1(Platform& platform, EpisodeModel& episode, QStringList arguments, QWidget* parent)
    : QWidget(parent)
    , platform_(platform)
    , episode_(episode)
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
    Button1->setEnabled(episode_.calculateEnabled());
    Button4->setEnabled(episode_.reportEnabled());
    Addtofilebutton->setEnabled(episode_.addToFileEnabled());

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

    connect(&episode_, &EpisodeModel::calculateEnabledChanged, Button1, &QWidget::setEnabled);
    connect(&episode_, &EpisodeModel::reportEnabledChanged, Button4, &QWidget::setEnabled);
    connect(&episode_, &EpisodeModel::addToFileEnabledChanged, Addtofilebutton,
            &QWidget::setEnabled);
    connect(&episode_, &EpisodeModel::physiologicalScoreSet, Edit1,
            [this](quint8 total) { Edit1->setText(QString::number(total)); });
    connect(&episode_, &EpisodeModel::operativeScoreSet, Edit2,
            [this](quint8 total) { Edit2->setText(QString::number(total)); });
    connect(&episode_, &EpisodeModel::physiologicalScoreWithdrawn, Edit1, &QLineEdit::clear);
    connect(&episode_, &EpisodeModel::operativeScoreWithdrawn, Edit2, &QLineEdit::clear);
    connect(&episode_, &EpisodeModel::risksCleared, this, &TForm1::clearRiskBoxes);
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
    Button1->setText(QStringLiteral("&Calculate"));
    for (QLineEdit* box : {Edit1, Edit2, Edit3, Edit4, Edit5, Edit6, Edit7})
        box->clear();

    const QString first = arguments_.value(0);
    QString upper;
    for (QChar c : first)
        upper += (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ? c.toUpper() : c;
    const bool directEntry = upper == QLatin1String("/TEST");
    episode_.startEpisode(directEntry);
    Edit1->setReadOnly(!directEntry);
    Edit2->setReadOnly(!directEntry);
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
    episode_.scoreTextsChanged(Edit1->text().toStdString(), Edit2->text().toStdString());
}

void TForm1::Button1Click() {
    if (!episode_.calculate()) {
        platform_.showMessage(this, kDataErrorMessage);
        return;
    }
    const char separator = decimalSeparatorOf(platform_.regionalSettings().decimalSeparator);
    for (std::size_t kind = 0; kind < kRiskKindCount; ++kind) {
        const double risk = episode_.assessment().risk(RiskKind(kind));
        riskBox(RiskKind(kind))
            ->setText(QString::fromStdString(FormatRiskPercent(risk, separator)));
    }
}

void TForm1::Button2Click() {
    episode_.startScoreChange();
    Q_EMIT physiologicalScoreRequested();
}

void TForm1::Button3Click() {
    episode_.startScoreChange();
    Q_EMIT operativeScoreRequested();
}

ReportSources TForm1::shownFigures() const {
    ReportSources figures;
    figures.physiologicalScore = toCp1252Bytes(Edit1->text());
    figures.operativeScore = toCp1252Bytes(Edit2->text());
    for (std::size_t kind = 0; kind < kRiskKindCount; ++kind)
        figures.risks[kind] = toCp1252Bytes(riskBox(RiskKind(kind))->text());
    return figures;
}

void TForm1::Button4Click() {
    Q_EMIT detailsNeeded();
    Q_EMIT reportRequested(shownFigures());
}

void TForm1::AddtofilebuttonClick() {
    Q_EMIT detailsNeeded();
    auditFile_->addRecord(episode_.assessment(), episode_.details());
}

void TForm1::TestMD5ButtonClick() {
    Q_EMIT selfTestRequested();
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
