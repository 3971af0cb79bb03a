// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/mainwindow.h"

#include "app/unitupdatepanel.h"
#include "episode/episodemodel.h"
#include "platform/platform.h"
#include "records/auditdatafile.h"
#include "riskmodels/riskmodels.h"
#include "widgets/textedge.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QStyle>
#include <QStyleOptionFrame>

#include <algorithm>

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

// A box that shows a risk: never narrower than its widest text, "100.00%",
// in its own font and style. A plain line edit may be squeezed to a few
// characters, which cut "12.10%" to "10%"; the size is asked again whenever
// the font or style changes, so it follows the desktop's font size.
class RiskBox : public QLineEdit {
public:
    using QLineEdit::QLineEdit;

    QSize minimumSizeHint() const override {
        ensurePolished();
        const QFontMetrics metrics(font());
        const int text = std::max(metrics.horizontalAdvance(QStringLiteral("100.00%")),
                                  metrics.horizontalAdvance(QStringLiteral("100,00%")));
        // Qt's line edit keeps 2 px inside its frame on each side and draws a
        // 1 px cursor after the text.
        constexpr int kInnerMargin = 2;
        const QMargins margins = textMargins() + contentsMargins();
        const QSize base = QLineEdit::minimumSizeHint();
        QStyleOptionFrame option;
        initStyleOption(&option);
        const QSize inside(text + 2 * kInnerMargin + 1 + margins.left() + margins.right(),
                           base.height());
        const QSize outside = style()->sizeFromContents(QStyle::CT_LineEdit, &option, inside, this);
        return {std::max(outside.width(), base.width()), base.height()};
    }
    QSize sizeHint() const override { return QLineEdit::sizeHint().expandedTo(minimumSizeHint()); }
};

template <typename Box = QLineEdit> QLineEdit* makeBox(const QString& name, QWidget* parent) {
    auto* box = new Box(parent);
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

// Shown in a group of their own after the described risks: the published
// equations for arterial surgery and the 1998 Portsmouth refit.
constexpr riskmodels::ModelId otherPublishedModels[] = {
    riskmodels::ModelId::VPossum2001Mortality,
    riskmodels::ModelId::VPossum2001PhysiologicalMortality,
    riskmodels::ModelId::PPossum1998Mortality,
};

QString modelToolTip(const riskmodels::RiskModel& model) {
    return QStringLiteral("%1\nPredicts %2 in %3.\n%4. doi:%5")
        .arg(QString::fromStdString(riskmodels::equationText(model)),
             QString::fromUtf8(model.outcome.data(), qsizetype(model.outcome.size())),
             QString::fromUtf8(model.population.data(), qsizetype(model.population.size())),
             QString::fromUtf8(model.citation.data(), qsizetype(model.citation.size())),
             QString::fromUtf8(model.doi.data(), qsizetype(model.doi.size())));
}

// The decimal separator the core can use; a separator outside ASCII cannot be
// one byte of the percentage text, so the full stop stands in for it.
char decimalSeparatorOf(QChar separator) {
    return separator.unicode() < 0x80 ? char(separator.unicode()) : '.';
}

} // namespace

MainWindow::MainWindow(Platform& platform, EpisodeModel& episode, QStringList arguments,
                       QWidget* parent)
    : QWidget(parent)
    , platform_(platform)
    , episode_(episode)
    , arguments_(std::move(arguments))
    , auditFile_(std::make_unique<AuditDataFile>(platform, this)) {
    setObjectName(QStringLiteral("TForm1"));
    setWindowTitle(QStringLiteral("Caldrin Calculator"));
    buildControls();
    setKeyboardOrder();
}

MainWindow::~MainWindow() = default;

void MainWindow::buildControls() {
    titleLabel = new QLabel(QStringLiteral("Caldrin Calculator v3"), this);
    titleLabel->setObjectName(QStringLiteral("Label6"));
    QFont titleFont = titleLabel->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.8);
    titleLabel->setFont(titleFont);
    QPalette titlePalette = titleLabel->palette();
    titlePalette.setColor(QPalette::WindowText, Qt::red);
    titleLabel->setPalette(titlePalette);

    physiologicalScoreEdit = makeBox(QStringLiteral("Edit1"), this);
    operativeScoreEdit = makeBox(QStringLiteral("Edit2"), this);
    possumMortalityEdit = makeBox<RiskBox>(QStringLiteral("Edit3"), this);
    pPossumMortalityEdit = makeBox<RiskBox>(QStringLiteral("Edit4"), this);
    possumMorbidityEdit = makeBox<RiskBox>(QStringLiteral("Edit5"), this);
    raaaPossumMortalityEdit = makeBox<RiskBox>(QStringLiteral("Edit6"), this);
    raaaPossumPhysiologicalMortalityEdit = makeBox<RiskBox>(QStringLiteral("Edit7"), this);
    // Boxes that are skipped by Tab still take a click, so that typed scores
    // (with /TEST) and the risk texts can be selected.
    for (QLineEdit* box : {physiologicalScoreEdit, operativeScoreEdit, possumMortalityEdit,
                           pPossumMortalityEdit, possumMorbidityEdit})
        box->setFocusPolicy(Qt::ClickFocus);
    for (QLineEdit* box : {possumMortalityEdit, pPossumMortalityEdit, possumMorbidityEdit})
        box->setReadOnly(true);
    // What can be typed into a box goes into the report file as 8-bit text.
    for (QLineEdit* box : {physiologicalScoreEdit, operativeScoreEdit, raaaPossumMortalityEdit,
                           raaaPossumPhysiologicalMortalityEdit})
        box->setValidator(new Cp1252Validator(box));

    physiologicalScoreButton =
        makeButton(QStringLiteral("Change &Physiological score"), QStringLiteral("Button2"), this);
    operativeScoreButton = makeButton(QStringLiteral("Change &Operative Severity score"),
                                      QStringLiteral("Button3"), this);
    calculateButton = makeButton(QStringLiteral("&Calculate"), QStringLiteral("Button1"), this);
    testHashButton =
        makeButton(QStringLiteral("&Test Hash"), QStringLiteral("TestMD5Button"), this);
    reportButton = makeButton(QStringLiteral("Create &Report"), QStringLiteral("Button4"), this);
    addToFileButton =
        makeButton(QStringLiteral("&Add to file"), QStringLiteral("Addtofilebutton"), this);
    helpButton = makeButton(QStringLiteral("&Help"), QStringLiteral("BitBtn3"), this);
    exitButton = makeButton(QStringLiteral("E&xit"), QStringLiteral("BitBtn1"), this);
    calculateButton->setEnabled(episode_.calculateEnabled());
    reportButton->setEnabled(episode_.reportEnabled());
    addToFileButton->setEnabled(episode_.addToFileEnabled());

    auto* grid = new QGridLayout(this);
    grid_ = grid;
    grid->addWidget(titleLabel, 0, 0, 1, 3, Qt::AlignHCenter);
    grid->addWidget(makeLabel(QStringLiteral("Physiological score:"), physiologicalScoreEdit, this),
                    1, 0);
    grid->addWidget(physiologicalScoreEdit, 1, 1);
    grid->addWidget(physiologicalScoreButton, 1, 2);
    grid->addWidget(
        makeLabel(QStringLiteral("Operative severity score:"), operativeScoreEdit, this), 2, 0);
    grid->addWidget(operativeScoreEdit, 2, 1);
    grid->addWidget(operativeScoreButton, 2, 2);
    grid->addWidget(calculateButton, 3, 1);
    // From the top the risk boxes show kinds 1, 0, 2, 3, 4.
    grid->addWidget(makeLabel(QStringLiteral("POSSUM morbidity score"), possumMorbidityEdit, this),
                    4, 0);
    grid->addWidget(possumMorbidityEdit, 4, 1);
    grid->addWidget(makeLabel(QStringLiteral("POSSUM mortalilty score"), possumMortalityEdit, this),
                    5, 0);
    grid->addWidget(possumMortalityEdit, 5, 1);
    grid->addWidget(
        makeLabel(QStringLiteral("P-POSSUM mortalitity score"), pPossumMortalityEdit, this), 6, 0);
    grid->addWidget(pPossumMortalityEdit, 6, 1);
    grid->addWidget(
        makeLabel(QStringLiteral("RAAA-POSSUM mortality score"), raaaPossumMortalityEdit, this), 7,
        0);
    grid->addWidget(raaaPossumMortalityEdit, 7, 1);
    grid->addWidget(makeLabel(QStringLiteral("RAAA-POSSUM physiological mortality score"),
                              raaaPossumPhysiologicalMortalityEdit, this),
                    8, 0);
    grid->addWidget(raaaPossumPhysiologicalMortalityEdit, 8, 1);
    grid->addWidget(testHashButton, 8, 2);
    auto* bottomRow = new QHBoxLayout;
    for (QPushButton* button : {reportButton, addToFileButton, helpButton, exitButton})
        bottomRow->addWidget(button);
    grid->addLayout(bottomRow, 9, 0, 1, 3);

    // Set apart to the right of the described risks: read-only, reached by Tab after
    // the described controls, each named for screen readers by its label.
    auto* otherGroup = new QGroupBox(QStringLiteral("Other published equations"), this);
    otherGroup->setObjectName(QStringLiteral("OtherPublishedEquations"));
    auto* otherGrid = new QGridLayout(otherGroup);
    for (std::size_t i = 0; i < otherPublishedEdits.size(); ++i) {
        const riskmodels::RiskModel& model = riskmodels::model(otherPublishedModels[i]);
        const QString title = QString::fromUtf8(model.title.data(), qsizetype(model.title.size()));
        QLineEdit* box = makeBox<RiskBox>(
            QString::fromUtf8(model.key.data(), qsizetype(model.key.size())), otherGroup);
        box->setReadOnly(true);
        box->setToolTip(modelToolTip(model));
        otherGrid->addWidget(makeLabel(title + QStringLiteral(" score"), box, otherGroup), int(i),
                             0);
        otherGrid->addWidget(box, int(i), 1);
        otherPublishedEdits[i] = box;
    }
    grid->addWidget(otherGroup, 4, 3, 4, 1, Qt::AlignTop);
    patientViewButton =
        makeButton(QStringLiteral("Patient &view"), QStringLiteral("PatientViewButton"), this);
    patientViewButton->setEnabled(false);
    patientViewButton->setToolTip(
        QStringLiteral("The risk as a picture and plain words for the patient (Alt+V)"));
    grid->addWidget(patientViewButton, 8, 3);

    connect(physiologicalScoreEdit, &QLineEdit::textChanged, this, &MainWindow::scoreTextChanged);
    connect(operativeScoreEdit, &QLineEdit::textChanged, this, &MainWindow::scoreTextChanged);
    connect(calculateButton, &QPushButton::clicked, this, &MainWindow::calculateClicked);
    connect(physiologicalScoreButton, &QPushButton::clicked, this,
            &MainWindow::changePhysiologicalScoreClicked);
    connect(operativeScoreButton, &QPushButton::clicked, this,
            &MainWindow::changeOperativeScoreClicked);
    connect(reportButton, &QPushButton::clicked, this, &MainWindow::createReportClicked);
    connect(addToFileButton, &QPushButton::clicked, this, &MainWindow::addToFileClicked);
    connect(testHashButton, &QPushButton::clicked, this, &MainWindow::testHashClicked);
    connect(patientViewButton, &QPushButton::clicked, this, &MainWindow::patientViewRequested);
    // F1 presses Help: from within the unit's figure it opens that figure's topic.
    connect(helpButton, &QPushButton::clicked, this, [this] {
        const bool onUnitFigure =
            unitUpdatePanel_ && unitUpdatePanel_->isAncestorOf(QApplication::focusWidget());
        Q_EMIT helpRequested(onUnitFigure ? QStringLiteral("unitupdate")
                                          : QStringLiteral("contents"));
    });
    connect(exitButton, &QPushButton::clicked, this, &QWidget::close);

    connect(&episode_, &EpisodeModel::calculateEnabledChanged, calculateButton,
            &QWidget::setEnabled);
    connect(&episode_, &EpisodeModel::reportEnabledChanged, reportButton, &QWidget::setEnabled);
    connect(&episode_, &EpisodeModel::addToFileEnabledChanged, addToFileButton,
            &QWidget::setEnabled);
    connect(&episode_, &EpisodeModel::physiologicalScoreSet, physiologicalScoreEdit,
            [this](quint8 total) { physiologicalScoreEdit->setText(QString::number(total)); });
    connect(&episode_, &EpisodeModel::operativeScoreSet, operativeScoreEdit,
            [this](quint8 total) { operativeScoreEdit->setText(QString::number(total)); });
    connect(&episode_, &EpisodeModel::physiologicalScoreWithdrawn, physiologicalScoreEdit,
            &QLineEdit::clear);
    connect(&episode_, &EpisodeModel::operativeScoreWithdrawn, operativeScoreEdit,
            &QLineEdit::clear);
    connect(&episode_, &EpisodeModel::risksCleared, this, &MainWindow::clearRiskBoxes);
    // The patient view shows the risks of the last Calculate only while they
    // are the risks of the scores shown.
    connect(&episode_, &EpisodeModel::risksCleared, patientViewButton,
            [this] { patientViewButton->setEnabled(false); });
    connect(&episode_, &EpisodeModel::reportEnabledChanged, patientViewButton,
            [this](bool enabled) {
                if (!enabled)
                    patientViewButton->setEnabled(false);
            });
}

void MainWindow::setKeyboardOrder() {
    const QWidget* order[] = {physiologicalScoreButton,
                              operativeScoreButton,
                              calculateButton,
                              reportButton,
                              addToFileButton,
                              exitButton,
                              physiologicalScoreEdit,
                              operativeScoreEdit,
                              possumMortalityEdit,
                              pPossumMortalityEdit,
                              possumMorbidityEdit,
                              raaaPossumMortalityEdit,
                              raaaPossumPhysiologicalMortalityEdit,
                              testHashButton,
                              helpButton,
                              otherPublishedEdits[0],
                              otherPublishedEdits[1],
                              otherPublishedEdits[2],
                              patientViewButton};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i)
        QWidget::setTabOrder(const_cast<QWidget*>(order[i]), const_cast<QWidget*>(order[i + 1]));
}

void MainWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!shownOnce_) {
        shownOnce_ = true;
        FormShow();
        physiologicalScoreButton->setFocus();
        // The unit's update is read once the window is on the screen: the
        // calculator never needs it to start.
        QMetaObject::invokeMethod(this, &MainWindow::loadUnitUpdate, Qt::QueuedConnection);
    }
}

void MainWindow::loadUnitUpdate() {
    if (unitUpdatePanel_)
        return;
    unitUpdatePanel_ = new UnitUpdatePanel(platform_, this);
    grid_->addWidget(unitUpdatePanel_, 10, 0, 1, 4);
    QWidget::setTabOrder(patientViewButton, unitUpdatePanel_->firstControl());
    connect(unitUpdatePanel_, &UnitUpdatePanel::updateChanged, this, [this] {
        showUnitUpdateFigure();
        Q_EMIT unitUpdateChanged();
    });
    unitUpdatePanel_->load();
    showUnitUpdateFigure();
    unitUpdatePanel_->show();
    Q_EMIT unitUpdateChanged();
}

// The unit's figure is shown with the published risks, for the same scores.
void MainWindow::showUnitUpdateFigure() {
    if (!unitUpdatePanel_)
        return;
    if (pPossumMortalityEdit->text().isEmpty()) {
        unitUpdatePanel_->clearFigure();
        return;
    }
    const Assessment& assessment = episode_.assessment();
    unitUpdatePanel_->showFigure(assessment.physiologicalScore, assessment.operativeScore,
                                 decimalSeparatorOf(platform_.regionalSettings().decimalSeparator));
}

void MainWindow::FormShow() {
    calculateButton->setText(QStringLiteral("&Calculate"));
    for (QLineEdit* box :
         {physiologicalScoreEdit, operativeScoreEdit, possumMortalityEdit, pPossumMortalityEdit,
          possumMorbidityEdit, raaaPossumMortalityEdit, raaaPossumPhysiologicalMortalityEdit})
        box->clear();
    for (QLineEdit* box : otherPublishedEdits)
        box->clear();

    const QString first = arguments_.value(0);
    QString upper;
    for (QChar c : first)
        upper += (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ? c.toUpper() : c;
    const bool directEntry = upper == QLatin1String("/TEST");
    episode_.startEpisode(directEntry);
    physiologicalScoreEdit->setReadOnly(!directEntry);
    operativeScoreEdit->setReadOnly(!directEntry);
}

QLineEdit* MainWindow::riskBox(RiskKind kind) const {
    switch (kind) {
    case RiskKind::PossumMortality:
        return possumMortalityEdit;
    case RiskKind::PossumMorbidity:
        return possumMorbidityEdit;
    case RiskKind::PPossumMortality:
        return pPossumMortalityEdit;
    case RiskKind::RaaaPossumMortality:
        return raaaPossumMortalityEdit;
    case RiskKind::RaaaPossumPhysiologicalMortality:
        return raaaPossumPhysiologicalMortalityEdit;
    }
    return possumMortalityEdit;
}

void MainWindow::clearRiskBoxes() {
    for (QLineEdit* box : {possumMortalityEdit, pPossumMortalityEdit, possumMorbidityEdit,
                           raaaPossumMortalityEdit, raaaPossumPhysiologicalMortalityEdit})
        box->clear();
    for (QLineEdit* box : otherPublishedEdits)
        box->clear();
    if (unitUpdatePanel_)
        unitUpdatePanel_->clearFigure();
}

void MainWindow::scoreTextChanged() {
    episode_.scoreTextsChanged(physiologicalScoreEdit->text().toStdString(),
                               operativeScoreEdit->text().toStdString());
}

void MainWindow::calculateClicked() {
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
    showOtherPublishedRisks(separator);
    showUnitUpdateFigure();
    patientViewButton->setEnabled(true);
}

void MainWindow::showOtherPublishedRisks(char decimalSeparator) {
    const Assessment& assessment = episode_.assessment();
    for (std::size_t i = 0; i < otherPublishedEdits.size(); ++i) {
        const double risk =
            riskmodels::riskFromScores(riskmodels::model(otherPublishedModels[i]),
                                       assessment.physiologicalScore, assessment.operativeScore);
        otherPublishedEdits[i]->setText(
            QString::fromStdString(FormatRiskPercent(risk, decimalSeparator)));
    }
}

void MainWindow::changePhysiologicalScoreClicked() {
    episode_.startScoreChange();
    Q_EMIT physiologicalScoreRequested();
}

void MainWindow::changeOperativeScoreClicked() {
    episode_.startScoreChange();
    Q_EMIT operativeScoreRequested();
}

ReportSources MainWindow::shownFigures() const {
    ReportSources figures;
    figures.physiologicalScore = toCp1252Bytes(physiologicalScoreEdit->text());
    figures.operativeScore = toCp1252Bytes(operativeScoreEdit->text());
    for (std::size_t kind = 0; kind < kRiskKindCount; ++kind)
        figures.risks[kind] = toCp1252Bytes(riskBox(RiskKind(kind))->text());
    return figures;
}

void MainWindow::createReportClicked() {
    Q_EMIT detailsNeeded();
    Q_EMIT reportRequested(shownFigures());
}

void MainWindow::addToFileClicked() {
    Q_EMIT detailsNeeded();
    auditFile_->addRecord(episode_.assessment(), episode_.details());
}

void MainWindow::testHashClicked() {
    Q_EMIT selfTestRequested();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    on_close();
    event->accept();
    Q_EMIT closed();
}

void MainWindow::on_close() {
    auditFile_->CloseAuditFile();
}

} // namespace caldrin
