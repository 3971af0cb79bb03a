#include "records/tform7.h"

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
#include <QRegularExpression>
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

TForm7::TForm7(Platform& platform, QWidget* parent)
    : QDialog(parent)
    , platform_(platform) {
    setObjectName(QStringLiteral("TForm7"));
    setWindowTitle(QStringLiteral("P-POSSUM - demographic and outcome data"));

    auto* episode = new QGroupBox(QStringLiteral("Episode "), this);
    episode->setObjectName(QStringLiteral("GroupBox1"));
    auto* fields = new QFormLayout(episode);
    Name_Edit = makeTextEdit(QStringLiteral("Name_Edit"), episode);
    ID_Edit = makeTextEdit(QStringLiteral("ID_Edit"), episode);
    DOB_Edit = makeTextEdit(QStringLiteral("DOB_Edit"), episode);
    Procdate = makeTextEdit(QStringLiteral("Procdate"), episode);
    const std::pair<QString, QLineEdit*> rows[] = {
        {QStringLiteral("Name"), Name_Edit},
        {QStringLiteral("Patient Identification"), ID_Edit},
        {QStringLiteral("Date of birth"), DOB_Edit},
        {QStringLiteral("Date of procedure"), Procdate},
    };
    for (const auto& [text, edit] : rows) {
        auto* label = new QLabel(text, episode);
        label->setBuddy(edit);
        auto* row = new QHBoxLayout;
        row->addWidget(edit, 1);
        row->addWidget(makeRefusalNote(edit, episode));
        fields->addRow(label, row);
    }

    RadioGroup1 = new OptionGroup(this);
    RadioGroup1->setObjectName(QStringLiteral("RadioGroup1"));
    MorbidEdit = makeEdit(QStringLiteral("MorbidEdit"), RadioGroup1);
    MorbidEdit->setReadOnly(true);
    MorbidEdit->setFocusPolicy(Qt::NoFocus);
    RadioGroup1->setCornerWidget(MorbidEdit);

    RadioGroup2 = new OptionGroup(this);
    RadioGroup2->setObjectName(QStringLiteral("RadioGroup2"));
    DiedEdit = makeTextEdit(QStringLiteral("DiedEdit"), RadioGroup2);
    // The user may type an outcome of their own, but Tab passes it by.
    DiedEdit->setFocusPolicy(Qt::ClickFocus);
    RadioGroup2->setCornerWidget(DiedEdit);
    for (QLineEdit* corner : {MorbidEdit, DiedEdit})
        corner->setMaximumWidth(corner->fontMetrics().horizontalAdvance(QStringLiteral("000000")));

    auto* outcome = new QHBoxLayout;
    outcome->addWidget(RadioGroup1);
    outcome->addWidget(RadioGroup2);
    outcome->addWidget(makeRefusalNote(DiedEdit, this));

    HasH_ID = makeButton(QStringLiteral("HasH_ID"), QStringLiteral("&Hash ID"), this);
    BitBtn3 = makeButton(QStringLiteral("BitBtn3"), QStringLiteral("&Help"), this);
    BitBtn2 = makeButton(QStringLiteral("BitBtn2"), QStringLiteral("Cancel"), this);
    BitBtn1 = makeButton(QStringLiteral("BitBtn1"), QStringLiteral("OK"), this);
    BitBtn1->setDefault(true);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* button : {HasH_ID, BitBtn3, BitBtn2, BitBtn1})
        buttons->addWidget(button);

    Edit1 = makeTextEdit(QStringLiteral("Edit1"), this);
    auto* identifierLabel = new QLabel(QStringLiteral("Hashed identifier"), this);
    identifierLabel->setBuddy(Edit1);
    auto* identifier = new QHBoxLayout;
    identifier->addWidget(identifierLabel);
    identifier->addWidget(Edit1, 1);
    identifier->addWidget(makeRefusalNote(Edit1, this));
    // Room for the 32 digits.
    Edit1->setMinimumWidth(Edit1->fontMetrics().horizontalAdvance(QString(34, QLatin1Char('0'))));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(episode);
    layout->addLayout(outcome);
    layout->addLayout(buttons);
    layout->addLayout(identifier);

    connect(RadioGroup1, &OptionGroup::optionChosen, this, &TForm7::RadioGroup1Click);
    connect(RadioGroup2, &OptionGroup::optionChosen, this, &TForm7::RadioGroup2Click);
    connect(HasH_ID, &QPushButton::clicked, this, &TForm7::HasH_IDClick);
    connect(BitBtn1, &QPushButton::clicked, this, &TForm7::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &TForm7::BitBtn2Click);
    connect(BitBtn3, &QPushButton::clicked, this, &TForm7::BitBtn3Click);

    ResetDetails();
}

void TForm7::ResetDetails() {
    detailsShown_ = false;
    for (QLineEdit* edit : {Edit1, Name_Edit, ID_Edit, DOB_Edit, Procdate, MorbidEdit, DiedEdit})
        edit->clear();
    for (QLabel* note : findChildren<QLabel*>(QRegularExpression(QStringLiteral("_Refusal$"))))
        note->hide();
    RadioGroup1->setOptions(QStringLiteral("Significant Morbidity ?"), kNoYes);
    RadioGroup2->setOptions(QStringLiteral("Died ?"), kNoYes);

    setKeyboardOrder();
}

// Tab stops at an option group where the group itself sits in the chain (and
// goes on to its focus proxy, the option that is its stop), then leaves from
// where that option sits. Qt keeps a group right in front of its first child,
// the corner edit, each time the group's proxy is set; so each corner edit is
// chained right before its group's options, and the group then snaps into
// place. Every reset gives the groups their options, and so their focus
// proxies, again; so this runs after each one.
void TForm7::setKeyboardOrder() {
    QList<QWidget*> order = {Name_Edit, ID_Edit, DOB_Edit, Procdate};
    const std::pair<OptionGroup*, QLineEdit*> groups[] = {{RadioGroup1, MorbidEdit},
                                                          {RadioGroup2, DiedEdit}};
    for (const auto& [group, corner] : groups) {
        order << corner;
        for (int i = 0; i < group->optionCount(); ++i)
            order << group->optionButton(i);
    }
    order << BitBtn1 << BitBtn2 << HasH_ID << Edit1 << BitBtn3;

    // Qt chains only widgets that take focus; MorbidEdit takes none of its own.
    MorbidEdit->setFocusPolicy(Qt::TabFocus);
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order.at(i - 1), order.at(i));
    MorbidEdit->setFocusPolicy(Qt::NoFocus);
    for (const auto& [group, corner] : groups)
        group->setFocusProxy(group->focusProxy());
}

PatientDetails TForm7::details() const {
    return {
        toCp1252Bytes(Name_Edit->text()), toCp1252Bytes(ID_Edit->text()),
        toCp1252Bytes(DOB_Edit->text()),  toCp1252Bytes(Procdate->text()),
        toCp1252Bytes(Edit1->text()),     toCp1252Bytes(MorbidEdit->text()),
        toCp1252Bytes(DiedEdit->text()),
    };
}

void TForm7::reject() {
    BitBtn2Click();
}

void TForm7::showEvent(QShowEvent* event) {
    detailsShown_ = true;
    QDialog::showEvent(event);
    // Each showing starts at the name, wherever the focus was left last time,
    // so that a name typed at once goes into the name field.
    Name_Edit->setFocus(Qt::OtherFocusReason);
}

void TForm7::HasH_IDClick() {
    Edit1->clear();
    // Read afresh each time: the user may have changed the regional settings.
    const QString pattern = platform_.regionalSettings().shortDatePattern;
    const DateFormat format = DateFormatFromPattern(std::u16string_view(
        reinterpret_cast<const char16_t*>(pattern.utf16()), std::size_t(pattern.size())));
    const HashAttempt attempt =
        DeriveHashedIdentifier(toCp1252Bytes(Name_Edit->text()), toCp1252Bytes(ID_Edit->text()),
                               toCp1252Bytes(DOB_Edit->text()), toCp1252Bytes(Procdate->text()),
                               format, calendarDateOf(platform_.today()));
    for (HashProblem problem : attempt.problems)
        platform_.showMessage(this, messageOf(problem));
    if (attempt.problems.empty())
        Edit1->setText(fromCp1252Bytes(attempt.identifier));
}

void TForm7::RadioGroup1Click(int index) {
    MorbidEdit->setText(QString::number(index));
}

void TForm7::RadioGroup2Click(int index) {
    DiedEdit->setText(QString::number(index));
}

void TForm7::BitBtn1Click() {
    accept();
}

void TForm7::BitBtn2Click() {
    QDialog::reject();
}

void TForm7::BitBtn3Click() {
    Q_EMIT helpRequested(QStringLiteral("create"));
}

} // namespace caldrin
