// SPDX-License-Identifier: GPL-3.0-or-later
#include "patientview/patientview.h"

#include "patientview/iconarray.h"
#include "patientview_core/riskdrivers.h"
#include "platform/platform.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QPushButton>
#include <QShortcut>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace caldrin {

namespace {

QString text(std::string_view view) {
    return QString::fromUtf8(view.data(), qsizetype(view.size()));
}

QString text(const std::string& string) {
    return QString::fromStdString(string);
}

QString capitalised(QString sentence) {
    if (!sentence.isEmpty())
        sentence[0] = sentence[0].toUpper();
    return sentence;
}

QLabel* makeTextLabel(const QString& name, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    // Reached by Tab, so a screen reader reads every sentence in turn.
    label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    label->setFocusPolicy(Qt::StrongFocus);
    return label;
}

QPushButton* makeButton(const QString& caption, const QString& name, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    return button;
}

// P-POSSUM for general surgery: the model a conversation starts from.
constexpr auto kDefaultModel = riskmodels::ModelId::PPossum1996Mortality;
// The selector's data for the unit's update, which no model of the table has.
constexpr int kUnitUpdateEntry = -1;

} // namespace

PatientView::PatientView(Platform& platform, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , platform_(platform) {
    setObjectName(QStringLiteral("PatientView"));
    setWindowTitle(QStringLiteral("Patient view"));
    buildControls();
    fillModels();
}

void PatientView::buildControls() {
    modelSelector = new QComboBox(this);
    modelSelector->setObjectName(QStringLiteral("ModelSelector"));
    modelSelector->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    modelSelector->setMinimumContentsLength(40);
    auto* modelLabel = new QLabel(QStringLiteral("&Model:"), this);
    modelLabel->setBuddy(modelSelector);
    modelSelector->setAccessibleName(QStringLiteral("Model"));

    populationNote = makeTextLabel(QStringLiteral("PopulationNote"), this);
    picture = new IconArray(this);
    picture->setObjectName(QStringLiteral("RiskPicture"));
    sentenceLabel = makeTextLabel(QStringLiteral("RiskSentence"), this);
    QFont large = sentenceLabel->font();
    large.setPointSizeF(large.pointSizeF() * 1.4);
    large.setBold(true);
    sentenceLabel->setFont(large);
    complicationLabel = makeTextLabel(QStringLiteral("ComplicationSentence"), this);
    uncertaintyLabel = makeTextLabel(QStringLiteral("UncertaintyNote"), this);

    auto* driversGroup = new QGroupBox(QStringLiteral("What drives this risk"), this);
    driversGroup->setObjectName(QStringLiteral("RiskDrivers"));
    driversLabel = makeTextLabel(QStringLiteral("DriversList"), driversGroup);
    driversLabel->setAccessibleName(QStringLiteral("What drives this risk"));
    (new QVBoxLayout(driversGroup))->addWidget(driversLabel);

    patientNameEdit = new QLineEdit(this);
    patientNameEdit->setObjectName(QStringLiteral("PatientName"));
    auto* nameLabel = new QLabel(QStringLiteral("Patient's &name on the sheet (optional):"), this);
    nameLabel->setBuddy(patientNameEdit);
    patientNameEdit->setAccessibleName(QStringLiteral("Patient's name on the sheet"));

    printButton = makeButton(QStringLiteral("&Print..."), QStringLiteral("PrintButton"), this);
    savePdfButton =
        makeButton(QStringLiteral("Save as P&DF..."), QStringLiteral("SavePdfButton"), this);
    helpButton = makeButton(QStringLiteral("&Help"), QStringLiteral("HelpButton"), this);
    closeButton = makeButton(QStringLiteral("&Close"), QStringLiteral("CloseButton"), this);

    auto* layout = new QVBoxLayout(this);
    auto* modelRow = new QHBoxLayout;
    modelRow->addWidget(modelLabel);
    modelRow->addWidget(modelSelector, 1);
    layout->addLayout(modelRow);
    layout->addWidget(populationNote);
    auto* middle = new QHBoxLayout;
    middle->addWidget(picture, 1);
    auto* words = new QVBoxLayout;
    words->addWidget(sentenceLabel);
    words->addWidget(complicationLabel);
    words->addWidget(uncertaintyLabel);
    words->addStretch(1);
    middle->addLayout(words, 1);
    layout->addLayout(middle, 1);
    layout->addWidget(driversGroup);
    auto* nameRow = new QHBoxLayout;
    nameRow->addWidget(nameLabel);
    nameRow->addWidget(patientNameEdit, 1);
    layout->addLayout(nameRow);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(printButton);
    buttons->addWidget(savePdfButton);
    buttons->addStretch(1);
    buttons->addWidget(helpButton);
    buttons->addWidget(closeButton);
    layout->addLayout(buttons);

    const QWidget* order[] = {modelSelector,    picture,        sentenceLabel, complicationLabel,
                              uncertaintyLabel, populationNote, driversLabel,  patientNameEdit,
                              printButton,      savePdfButton,  helpButton,    closeButton};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i)
        QWidget::setTabOrder(const_cast<QWidget*>(order[i]), const_cast<QWidget*>(order[i + 1]));

    connect(modelSelector, &QComboBox::currentIndexChanged, this, &PatientView::refresh);
    connect(printButton, &QPushButton::clicked, this, &PatientView::printClicked);
    connect(savePdfButton, &QPushButton::clicked, this, &PatientView::savePdfClicked);
    connect(helpButton, &QPushButton::clicked, this,
            [this] { Q_EMIT helpRequested(QStringLiteral("patientview")); });
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);
    resize(980, 720);
}

// The unit's update first, when one is set, then every model of the table,
// each with the patients it was made for.
void PatientView::fillModels() {
    const QSignalBlocker quiet(modelSelector);
    modelSelector->clear();
    if (unitUpdate_)
        modelSelector->addItem(text(modelupdate::updateTitle(*unitUpdate_)), kUnitUpdateEntry);
    for (const riskmodels::RiskModel& m : riskmodels::allModels())
        modelSelector->addItem(text(m.title) + QStringLiteral(": made for ") + text(m.population),
                               int(m.id));
    modelSelector->setCurrentIndex(
        modelSelector->findData(unitUpdate_ ? kUnitUpdateEntry : int(kDefaultModel)));
}

void PatientView::setUnitUpdate(const std::optional<modelupdate::ModelUpdate>& update) {
    if (update == unitUpdate_)
        return;
    unitUpdate_ = update;
    fillModels();
    refresh();
}

bool PatientView::updateChosen() const {
    return unitUpdate_ && modelSelector->currentData().toInt() == kUnitUpdateEntry;
}

const riskmodels::RiskModel& PatientView::chosenModel() const {
    if (updateChosen())
        return riskmodels::model(unitUpdate_->model);
    return riskmodels::model(riskmodels::ModelId(modelSelector->currentData().toInt()));
}

void PatientView::showFor(const ScoredEpisode& episode) {
    episode_ = episode;
    patientNameEdit->clear();
    refresh();
    show();
    raise();
    activateWindow();
    modelSelector->setFocus(Qt::OtherFocusReason);
}

PatientSheet PatientView::sheet() const {
    PatientSheet sheet;
    const riskmodels::RiskModel& m = chosenModel();
    sheet.patientName = patientNameEdit->text().trimmed();
    sheet.date = platform_.today().toString(QStringLiteral("d MMMM yyyy"));
    const bool updated = updateChosen();
    sheet.modelTitle = updated ? text(modelupdate::updateTitle(*unitUpdate_)) : text(m.title);
    double risk =
        riskmodels::riskFromScores(m, episode_.physiologicalScore, episode_.operativeScore);
    std::optional<riskwords::Interval> interval;
    if (updated) {
        const modelupdate::UpdatedRisk r = modelupdate::applyUpdate(
            *unitUpdate_, episode_.physiologicalScore, episode_.operativeScore);
        risk = r.risk;
        if (r.lower && r.upper)
            interval = riskwords::Interval{*r.lower, *r.upper};
    }
    const auto frequency = riskwords::naturalFrequency(risk);
    const auto sentence = riskwords::frequencySentence(m, risk);
    if (!frequency || !sentence || episode_.physiologicalScore == 0 ||
        (m.usesOperativeScore && episode_.operativeScore == 0)) {
        sheet.sentence = QStringLiteral("No figure can be given: the scores are not complete.");
        return sheet;
    }
    sheet.frequency = *frequency;
    sheet.sentence = text(*sentence);
    if (const std::string hundred = riskwords::hundredSentence(risk); !hundred.empty())
        sheet.sentence += QLatin1Char(' ') + text(hundred);

    const riskmodels::RiskModel& morbidity =
        riskmodels::model(riskmodels::ModelId::PossumMorbidity);
    sheet.complications = text(riskwords::complicationMeaning());
    if (m.predicts == riskmodels::Predicts::Mortality) {
        const double complicationRisk = riskmodels::riskFromScores(
            morbidity, episode_.physiologicalScore, episode_.operativeScore);
        if (const auto words = riskwords::frequencySentence(morbidity, complicationRisk))
            sheet.complications = QStringLiteral("Complications: ") + text(*words) +
                                  QLatin1Char(' ') + sheet.complications;
    }
    sheet.uncertainty = text(riskwords::uncertaintySentence(interval));
    sheet.population = text(riskwords::populationSentence(m));
    if (updated)
        sheet.population += QStringLiteral(" It was corrected on this unit's own audit.");

    riskdrivers::Drivers drivers = riskdrivers::riskDrivers(
        m, episode_.factorPoints, episode_.physiologicalScore, episode_.operativeScore);
    const bool reweighed =
        updated && (unitUpdate_->method == modelupdate::Method::Revision ||
                    (unitUpdate_->method == modelupdate::Method::LogisticRecalibration &&
                     unitUpdate_->coefficients.at(1) <= 0));
    if (reweighed) {
        // A revision weighs the two scores anew (and a slope that is not
        // positive turns the order of risks round): the published equation's
        // shares would misstate what drives the corrected figure.
        drivers.drivers.clear();
        if (drivers.missingReason.empty())
            drivers.missingReason = "What drives the risk is shown for the published "
                                    "equations only: this update weighs the scores anew.";
    } else if (updated) {
        // A recalibration with a positive slope keeps the equation's order of
        // risks, so its shares
        // rank the factors alike; each "if" figure is corrected the same way.
        for (riskdrivers::Driver& driver : drivers.drivers)
            if (driver.whatIf)
                driver.whatIf->risk =
                    modelupdate::applyUpdateToRisk(*unitUpdate_, driver.whatIf->risk, 0, 0).risk;
    }
    for (const riskdrivers::Driver& driver : drivers.drivers) {
        QString line = capitalised(text(driver.words));
        if (driver.whatIf) {
            const auto what = riskwords::shortFrequency(driver.whatIf->risk);
            line += QStringLiteral(". ") + capitalised(text(driver.whatIf->condition)) +
                    QStringLiteral(": ") + text(what.value_or("no figure")) + QLatin1Char(' ') +
                    text(riskwords::outcomeWords(m).plural) + QLatin1Char('.');
        } else {
            line += QStringLiteral(" (this cannot change).");
        }
        sheet.drivers << line;
    }
    sheet.driversNote = drivers.missingReason.empty()
                            ? QStringLiteral("The \"if\" figures come from the same equation with "
                                             "one finding a grade better. They are not advice.")
                            : text(drivers.missingReason);
    sheet.source = text(m.title) + QStringLiteral(". ") + text(m.citation) +
                   QStringLiteral(". doi:") + text(m.doi);
    if (updated)
        sheet.source = sheet.modelTitle + QStringLiteral(", by ") +
                       text(modelupdate::methodTitle(unitUpdate_->method)) +
                       QStringLiteral(", from ") + sheet.source;
    return sheet;
}

void PatientView::refresh() {
    const PatientSheet now = sheet();
    if (now.frequency.withOutcome > 0)
        picture->setFrequency(now.frequency, now.sentence);
    else
        picture->clear();
    sentenceLabel->setText(now.sentence);
    complicationLabel->setText(now.complications);
    uncertaintyLabel->setText(now.uncertainty);
    populationNote->setText(now.population);
    QFont noteFont = font();
    noteFont.setBold(!riskwords::madeForGeneralSurgery(chosenModel()));
    populationNote->setFont(noteFont);
    QStringList lines;
    for (const QString& driver : now.drivers)
        lines << QStringLiteral("\u2022 ") + driver;
    lines << now.driversNote;
    driversLabel->setText(lines.join(QLatin1Char('\n')));
}

void PatientView::printClicked() {
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(QStringLiteral("Patient sheet"));
    if (!platform_.choosePrinter(this, printer))
        return;
    if (!paintPatientSheet(printer, sheet()))
        platform_.showError(this, QStringLiteral("The sheet could not be printed."));
}

void PatientView::savePdfClicked() {
    SaveFileRequest request;
    request.filters = {QStringLiteral("PDF files (*.pdf)")};
    request.defaultSuffix = QStringLiteral("pdf");
    request.suggestedName = QStringLiteral("Patient sheet ") +
                            platform_.today().toString(Qt::ISODate) + QStringLiteral(".pdf");
    request.purpose = FilePurpose::Print;
    const auto path = platform_.chooseFileToSave(this, request);
    if (!path)
        return;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(*path);
    printer.setDocName(QStringLiteral("Patient sheet"));
    if (!paintPatientSheet(printer, sheet()))
        platform_.showError(this, QStringLiteral("The sheet could not be saved to ") + *path +
                                      QLatin1Char('.'));
}

} // namespace caldrin
