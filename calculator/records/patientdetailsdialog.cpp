// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/patientdetailsdialog.h"

#include "episode/episodemodel.h"
#include "platform/platform.h"
#include "records_core/datecheck.h"
#include "records_core/identifier.h"
#include "widgets/optiongroup.h"
#include "widgets/textedge.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace caldrin {

namespace {

const QStringList kNoYes = {QStringLiteral("No"), QStringLiteral("Yes")};

QLineEdit* makeEdit(const QString& name, QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    return edit;
}

// Only characters that have a Windows-1252 byte get in, on one line, so what
// the user sees is what is hashed and written to files. Every field here is
// written to the audit file, which spreadsheets open: no field may start a
// formula.
QLineEdit* makeTextEdit(const QString& name, QWidget* parent) {
    QLineEdit* edit = makeEdit(name, parent);
    edit->setValidator(new Cp1252Validator(edit, true));
    return edit;
}

// A note beside an edit saying what the edit has refused, so that nothing
// vanishes without a word. It takes no focus, and stays until the field is
// emptied.
QLabel* makeRefusalNote(QLineEdit* edit, QWidget* parent) {
    auto* note = new QLabel(parent);
    note->setObjectName(edit->objectName() + QStringLiteral("_Refusal"));
    note->setFocusPolicy(Qt::NoFocus);
    note->hide();
    const auto* validator = qobject_cast<const Cp1252Validator*>(edit->validator());
    QObject::connect(validator, &Cp1252Validator::refused, note,
                     [note](TextRefusal refusal, QChar character) {
                         note->setText(refusalNote(refusal, character));
                         note->show();
                     });
    QObject::connect(edit, &QLineEdit::textChanged, note, [note](const QString& text) {
        if (text.isEmpty())
            note->hide();
    });
    return note;
}

QPushButton* makeButton(const QString& name, const QString& text, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    return button;
}

QString messageOf(HashProblem problem) {
    switch (problem) {
    case HashProblem::NoName:
        return QStringLiteral("Please enter a name.");
    case HashProblem::NoIdentity:
        return QStringLiteral("Please enter an identity number.");
    case HashProblem::InvalidDateOfBirth:
        return QStringLiteral("Please enter a valid date of birth.\nFormat : dd/mm/yyyy");
    case HashProblem::FutureDateOfBirth:
        return QStringLiteral(
            "The date of birth lies in the future.\nPlease check the date of birth.");
    case HashProblem::InvalidDateOfProcedure:
        return QStringLiteral("Please enter a valid date for procedure.\nFormat : dd/mm/yyyy");
    }
    return {};
}

CalendarDate calendarDateOf(const QDate& date) {
    return {date.year(), date.month(), date.day()};
}

} // namespace

PatientDetailsDialog::PatientDetailsDialog(Platform& platform, EpisodeModel& episode,
                                           QWidget* parent)
    : QDialog(parent)
    , platform_(platform)
    , episode_(episode) {
    setObjectName(QStringLiteral("TForm7"));
    setWindowTitle(QStringLiteral("P-POSSUM - demographic and outcome data"));

    auto* episodeGroup = new QGroupBox(QStringLiteral("Episode "), this);
    episodeGroup->setObjectName(QStringLiteral("GroupBox1"));
    auto* fields = new QFormLayout(episodeGroup);
    nameEdit = makeTextEdit(QStringLiteral("Name_Edit"), episodeGroup);
    identityEdit = makeTextEdit(QStringLiteral("ID_Edit"), episodeGroup);
    dateOfBirthEdit = makeTextEdit(QStringLiteral("DOB_Edit"), episodeGroup);
    procedureDateEdit = makeTextEdit(QStringLiteral("Procdate"), episodeGroup);
    const std::pair<QString, QLineEdit*> rows[] = {
        {QStringLiteral("Name"), nameEdit},
        {QStringLiteral("Patient Identification"), identityEdit},
        {QStringLiteral("Date of birth"), dateOfBirthEdit},
        {QStringLiteral("Date of procedure"), procedureDateEdit},
    };
    for (const auto& [text, edit] : rows) {
        auto* label = new QLabel(text, episodeGroup);
        label->setBuddy(edit);
        auto* row = new QHBoxLayout;
        row->addWidget(edit, 1);
        row->addWidget(makeRefusalNote(edit, episodeGroup));
        fields->addRow(label, row);
    }

    morbidityGroup = new OptionGroup(this);
    morbidityGroup->setObjectName(QStringLiteral("RadioGroup1"));
    morbidityEdit = makeEdit(QStringLiteral("MorbidEdit"), morbidityGroup);
    morbidityEdit->setReadOnly(true);
    morbidityEdit->setFocusPolicy(Qt::NoFocus);
    morbidityGroup->setCornerWidget(morbidityEdit);

    diedGroup = new OptionGroup(this);
    diedGroup->setObjectName(QStringLiteral("RadioGroup2"));
    diedEdit = makeTextEdit(QStringLiteral("DiedEdit"), diedGroup);
    // The user may type an outcome of their own, but Tab passes it by.
    diedEdit->setFocusPolicy(Qt::ClickFocus);
    diedGroup->setCornerWidget(diedEdit);
    for (QLineEdit* corner : {morbidityEdit, diedEdit})
        corner->setMaximumWidth(corner->fontMetrics().horizontalAdvance(QStringLiteral("000000")));

    auto* outcome = new QHBoxLayout;
    outcome->addWidget(morbidityGroup);
    outcome->addWidget(diedGroup);
    outcome->addWidget(makeRefusalNote(diedEdit, this));

    hashIdentifierButton = makeButton(QStringLiteral("HasH_ID"), QStringLiteral("&Hash ID"), this);
    // Alt+H is Hash ID's: Help takes the L.
    helpButton = makeButton(QStringLiteral("BitBtn3"), QStringLiteral("He&lp"), this);
    cancelButton = makeButton(QStringLiteral("BitBtn2"), QStringLiteral("Cancel"), this);
    okButton = makeButton(QStringLiteral("BitBtn1"), QStringLiteral("OK"), this);
    okButton->setDefault(true);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* button : {hashIdentifierButton, helpButton, cancelButton, okButton})
        buttons->addWidget(button);

    hashedIdentifierEdit = makeTextEdit(QStringLiteral("Edit1"), this);
    auto* identifierLabel = new QLabel(QStringLiteral("Hashed identifier"), this);
    identifierLabel->setBuddy(hashedIdentifierEdit);
    auto* identifier = new QHBoxLayout;
    identifier->addWidget(identifierLabel);
    identifier->addWidget(hashedIdentifierEdit, 1);
    identifier->addWidget(makeRefusalNote(hashedIdentifierEdit, this));
    // Room for the 32 digits.
    hashedIdentifierEdit->setMinimumWidth(
        hashedIdentifierEdit->fontMetrics().horizontalAdvance(QString(34, QLatin1Char('0'))));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(episodeGroup);
    layout->addLayout(outcome);
    layout->addLayout(buttons);
    layout->addLayout(identifier);

    connect(morbidityGroup, &OptionGroup::optionChosen, this,
            &PatientDetailsDialog::morbidityChosen);
    connect(diedGroup, &OptionGroup::optionChosen, this, &PatientDetailsDialog::diedChosen);
    connect(hashIdentifierButton, &QPushButton::clicked, this,
            &PatientDetailsDialog::hashIdentifierClicked);
    connect(okButton, &QPushButton::clicked, this, &PatientDetailsDialog::okClicked);
    connect(cancelButton, &QPushButton::clicked, this, &PatientDetailsDialog::cancelClicked);
    connect(helpButton, &QPushButton::clicked, this, &PatientDetailsDialog::helpClicked);

    clearFields();
    for (QLineEdit* edit : findChildren<QLineEdit*>()) {
        connect(edit, &QLineEdit::textChanged, this, &PatientDetailsDialog::fieldsEdited);
        // A refused character shows a note that only emptying takes away.
        if (const auto* validator = qobject_cast<const Cp1252Validator*>(edit->validator()))
            connect(validator, &Cp1252Validator::refused, this, [this] { fieldsEmpty_ = false; });
    }
    connect(&episode_, &EpisodeModel::detailsReset, this, &PatientDetailsDialog::clearFields);
}

void PatientDetailsDialog::ResetDetails() {
    episode_.resetDetails();
}

bool PatientDetailsDialog::DetailsShown() const {
    return episode_.DetailsShown();
}

void PatientDetailsDialog::clearDetailsShown() {
    episode_.clearDetailsShown();
}

void PatientDetailsDialog::fieldsEdited() {
    fieldsEmpty_ = false;
    episode_.setDetails(details());
}

void PatientDetailsDialog::clearFields() {
    if (fieldsEmpty_)
        return;
    for (QLineEdit* edit : {hashedIdentifierEdit, nameEdit, identityEdit, dateOfBirthEdit,
                            procedureDateEdit, morbidityEdit, diedEdit})
        edit->clear();
    // Found by name: a pattern match would cost every start-up its compilation.
    for (QLabel* label : findChildren<QLabel*>()) {
        if (label->objectName().endsWith(QLatin1String("_Refusal")))
            label->hide();
    }
    morbidityGroup->setOptions(QStringLiteral("Significant Morbidity ?"), kNoYes);
    diedGroup->setOptions(QStringLiteral("Died ?"), kNoYes);

    setKeyboardOrder();
    fieldsEmpty_ = true;
}

// Tab stops at an option group where the group itself sits in the chain (and
// goes on to its focus proxy, the option that is its stop), then leaves from
// where that option sits. Qt keeps a group right in front of its first child,
// the corner edit, each time the group's proxy is set; so each corner edit is
// chained right before its group's options, and the group then snaps into
// place. Every reset gives the groups their options, and so their focus
// proxies, again; so this runs after each one.
void PatientDetailsDialog::setKeyboardOrder() {
    QList<QWidget*> order = {nameEdit, identityEdit, dateOfBirthEdit, procedureDateEdit};
    const std::pair<OptionGroup*, QLineEdit*> groups[] = {{morbidityGroup, morbidityEdit},
                                                          {diedGroup, diedEdit}};
    for (const auto& [group, corner] : groups) {
        order << corner;
        for (int i = 0; i < group->optionCount(); ++i)
            order << group->optionButton(i);
    }
    order << okButton << cancelButton << hashIdentifierButton << hashedIdentifierEdit << helpButton;

    // Qt chains only widgets that take focus; morbidityEdit takes none of its own.
    morbidityEdit->setFocusPolicy(Qt::TabFocus);
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order.at(i - 1), order.at(i));
    morbidityEdit->setFocusPolicy(Qt::NoFocus);
    for (const auto& [group, corner] : groups)
        group->setFocusProxy(group->focusProxy());
}

PatientDetails PatientDetailsDialog::details() const {
    return {
        toCp1252Bytes(nameEdit->text()),
        toCp1252Bytes(identityEdit->text()),
        toCp1252Bytes(dateOfBirthEdit->text()),
        toCp1252Bytes(procedureDateEdit->text()),
        toCp1252Bytes(hashedIdentifierEdit->text()),
        toCp1252Bytes(morbidityEdit->text()),
        toCp1252Bytes(diedEdit->text()),
    };
}

void PatientDetailsDialog::reject() {
    cancelClicked();
}

void PatientDetailsDialog::showEvent(QShowEvent* event) {
    episode_.setDetailsShown();
    fieldsEmpty_ = false;
    QDialog::showEvent(event);
    // Each showing starts at the name, wherever the focus was left last time,
    // so that a name typed at once goes into the name field.
    nameEdit->setFocus(Qt::OtherFocusReason);
}

void PatientDetailsDialog::hashIdentifierClicked() {
    hashedIdentifierEdit->clear();
    // Read afresh each time: the user may have changed the regional settings.
    const QString pattern = platform_.regionalSettings().shortDatePattern;
    const DateFormat format = dateFormatFromPattern(std::u16string_view(
        reinterpret_cast<const char16_t*>(pattern.utf16()), std::size_t(pattern.size())));
    const HashAttempt attempt = deriveHashedIdentifier(
        toCp1252Bytes(nameEdit->text()), toCp1252Bytes(identityEdit->text()),
        toCp1252Bytes(dateOfBirthEdit->text()), toCp1252Bytes(procedureDateEdit->text()), format,
        calendarDateOf(platform_.today()));
    for (HashProblem problem : attempt.problems)
        platform_.showMessage(this, messageOf(problem));
    if (attempt.problems.empty())
        hashedIdentifierEdit->setText(fromCp1252Bytes(attempt.identifier));
}

void PatientDetailsDialog::morbidityChosen(int index) {
    morbidityEdit->setText(QString::number(index));
}

void PatientDetailsDialog::diedChosen(int index) {
    diedEdit->setText(QString::number(index));
}

void PatientDetailsDialog::okClicked() {
    accept();
}

void PatientDetailsDialog::cancelClicked() {
    QDialog::reject();
}

void PatientDetailsDialog::helpClicked() {
    Q_EMIT helpRequested(QStringLiteral("create"));
}

} // namespace caldrin
