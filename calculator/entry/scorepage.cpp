// SPDX-License-Identifier: GPL-3.0-or-later
#include "entry/scorepage.h"

#include "entry/factorhelp.h"
#include "entry/measuredvaluefield.h"
#include "platform/platform.h"
#include "platform/programsettings.h"
#include "widgets/optiongroup.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QStyle>
#include <QVBoxLayout>
#include <QWhatsThis>
#include <QWhatsThisClickedEvent>

#include <algorithm>
#include <initializer_list>

namespace caldrin {

namespace {

// The groups fill columns of three from the top, in keyboard order: page 1 has
// three columns, page 2 one, the operative dialog two (narrow, then wide).
constexpr int kGroupsPerColumn = 3;

// Where the score pages remember the unit last used for each measured factor.
const QString kSettingsWindow = QStringLiteral("scorePages");

QString unitSettingName(const FactorDef& def) {
    return QStringLiteral("unit/") +
           QString::fromLatin1(def.name.data(), qsizetype(def.name.size()));
}

QString fromTable(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

QPushButton* makeButton(const QString& name, const QString& caption, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    return button;
}

// The first of `names` that the desktop theme has, else the style's own icon.
QIcon themeIcon(const QWidget& widget, std::initializer_list<const char*> names,
                QStyle::StandardPixmap fallback) {
    for (const char* name : names) {
        const QIcon icon = QIcon::fromTheme(QString::fromLatin1(name));
        if (!icon.isNull())
            return icon;
    }
    return widget.style()->standardIcon(fallback);
}

} // namespace

ScorePage::ScorePage(Platform& platform, Assessment& assessment, Page page, const QString& caption,
                     QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
    , platform_(platform)
    , assessment_(assessment)
    , page_(page) {
    setWindowTitle(caption);
}

// The controls are built on the first set-up (or showing), not with the
// window: the program creates every window at start-up, and a user who never
// opens this one should not wait for its eighty-odd controls.
void ScorePage::buildControls() {
    // The groups and their options come first in the focus chain, so that a
    // freshly shown window starts in its first group.
    auto* groups = new QGridLayout;
    const std::vector<const FactorDef*> defs = factorsInKeyboardOrder(page_);
    entries_.reserve(defs.size());
    for (const FactorDef* def : defs) {
        const int k = static_cast<int>(entries_.size());
        auto* group = new OptionGroup(this);
        group->setObjectName(QStringLiteral("RadioGroup%1").arg(placeOf(def->factor).groupNumber));
        // Its options have no tips of their own, so hovering any of them shows the group's.
        group->setToolTip(factorToolTip(def->factor));
        group->setWhatsThis(factorWhatsThis(def->factor));
        group->installEventFilter(this);
        auto* display = new QLineEdit(group);
        display->setObjectName(QStringLiteral("Edit%1").arg(placeOf(def->factor).groupNumber));
        display->setAccessibleName(fromTable(def->name) + QStringLiteral(" points"));
        display->setReadOnly(true);
        display->setFocusPolicy(Qt::NoFocus);
        display->setFixedWidth(display->fontMetrics().horizontalAdvance(QStringLiteral("8888")) +
                               display->style()->pixelMetric(QStyle::PM_DefaultFrameWidth) * 2 + 4);
        group->setCornerWidget(display);
        groups->addWidget(group, k % kGroupsPerColumn, k / kGroupsPerColumn);
        entries_.push_back({def, group, display, nullptr, false});
        addValueField(entries_.back());
        connect(group, &OptionGroup::optionChosen, this, [this, k](int position) {
            Entry& entry = entries_[std::size_t(k)];
            entry.chosenByValue = false;
            factorChosen(entry, position);
        });
    }
    // The operative dialog's right column takes the long option texts.
    if (groups->columnCount() == 2)
        groups->setColumnStretch(1, 1);
    fillGroups();

    okButton = makeButton(QStringLiteral("BitBtn1"), QStringLiteral("OK"), this);
    cancelButton = makeButton(QStringLiteral("BitBtn2"), QStringLiteral("Cancel"), this);
    helpButton = makeButton(QStringLiteral("BitBtn3"), QStringLiteral("&Help"), this);
    okButton->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (QPushButton* button : {helpButton, cancelButton, okButton})
        buttons->addWidget(button);

    // Groups in keyboard order, then OK, Cancel, Help. Each group is one Tab
    // stop, whichever of its options is the stop at the moment.
    QWidget* previous = nullptr;
    auto chain = [&](QWidget* next) {
        if (previous)
            setTabOrder(previous, next);
        previous = next;
    };
    // A value field and its unit follow their group.
    for (const Entry& entry : entries_) {
        for (int i = 0; i < entry.group->optionCount(); ++i)
            chain(entry.group->optionButton(i));
        if (entry.field) {
            chain(entry.field->valueEdit());
            if (entry.field->unitBox())
                chain(entry.field->unitBox());
        }
    }
    for (QPushButton* button : {okButton, cancelButton, helpButton})
        chain(button);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addLayout(groups);

    connect(okButton, &QPushButton::clicked, this, &ScorePage::okClicked);
    connect(cancelButton, &QPushButton::clicked, this, &ScorePage::cancelClicked);
    connect(helpButton, &QPushButton::clicked, this, &ScorePage::helpClicked);
}

// Built with the page's other controls on its first set-up, so a start of the
// program pays nothing for them.
void ScorePage::addValueField(Entry& entry) {
    const MeasuredFactor* measured = measuredFactor(entry.def->factor);
    if (!measured)
        return;
    auto* field =
        new MeasuredValueField(*entry.def, *measured, entry.group->objectName(), entry.group);
    entry.field = field;
    entry.group->setFooterWidget(field);
    field->selectUnit(ProgramSettings::choice(kSettingsWindow, unitSettingName(*entry.def)));
    const std::size_t k = std::size_t(&entry - entries_.data());
    connect(field, &MeasuredValueField::valueGraded, this,
            [this, k](int position) { valueGraded(entries_[k], position); });
    connect(field, &MeasuredValueField::unitPicked, this, [def = entry.def](const QString& unit) {
        ProgramSettings::setChoice(kSettingsWindow, unitSettingName(*def), unit);
    });
}

// The value chooses its option unless the user chose one by hand; either
// way the field compares the two.
void ScorePage::valueGraded(Entry& entry, int position) {
    if (entry.group->chosenIndex() < 0 || entry.chosenByValue) {
        entry.group->setChosenIndex(position);
        entry.chosenByValue = true;
        factorChosen(entry, position);
    } else {
        entry.field->compareWithChoice(entry.group->chosenIndex());
    }
}

QString ScorePage::pointsDisplayText(Factor factor) const {
    const Entry* entry = entryOf(factor);
    return entry ? entry->display->text() : QString();
}

void ScorePage::reject() {
    cancelClicked();
}

void ScorePage::setUpPage() {
    if (entries_.empty())
        buildControls(); // which fills the groups
    else
        fillGroups();
    const QChar separator = platform_.regionalSettings().decimalSeparator;
    for (Entry& entry : entries_) {
        entry.display->clear();
        assessment_.points(entry.def->factor) = 0;
        entry.chosenByValue = false;
        if (entry.field) {
            entry.field->clear();
            entry.field->setDecimalSeparator(separator);
        }
    }
}

void ScorePage::fillGroups() {
    for (const Entry& entry : entries_) {
        QStringList options;
        for (std::string_view option : entry.def->options)
            options << fromTable(option);
        entry.group->setOptions(fromTable(entry.def->heading), options);
    }
}

void ScorePage::focusFirstGroup() {
    if (!entries_.empty())
        entries_.front().group->setFocus(Qt::OtherFocusReason);
}

OptionGroup* ScorePage::groupOf(Factor factor) const {
    const Entry* entry = entryOf(factor);
    return entry ? entry->group : nullptr;
}

void ScorePage::factorChosen(const Entry& entry, int position) {
    const std::uint8_t points = pointsOf(*entry.def, static_cast<std::size_t>(position));
    assessment_.points(entry.def->factor) = points;
    entry.display->setText(QString::fromStdString(pointsText(points)));
    if (entry.field)
        entry.field->compareWithChoice(position);
}

void ScorePage::okClicked() {
    std::vector<std::uint8_t> points;
    points.reserve(entries_.size());
    for (const Entry& entry : entries_)
        points.push_back(assessment_.points(entry.def->factor));
    if (!isComplete(points)) {
        platform_.showMessage(this,
                              QStringLiteral("Invalid data. You must enter data in each box."));
        // The keyboard goes to the first group still unanswered, so the user
        // sees which one it is.
        for (const Entry& entry : entries_) {
            if (assessment_.points(entry.def->factor) == 0) {
                entry.group->setFocus(Qt::OtherFocusReason);
                break;
            }
        }
        return;
    }
    // A refused value may stand beside a grade from before it: the user meant
    // another value, so the page is not confirmed with the old grade.
    for (const Entry& entry : entries_) {
        if (entry.field && !entry.field->refusal().isEmpty()) {
            platform_.showMessage(this, entry.field->refusal() +
                                            QStringLiteral("\nCorrect the value or empty its "
                                                           "field."));
            entry.field->valueEdit()->setFocus(Qt::OtherFocusReason);
            return;
        }
    }
    hide();
    pageConfirmed(totalOf(points));
}

void ScorePage::cancelClicked() {
    hide();
    Q_EMIT scoreCancelled();
}

void ScorePage::helpClicked() {
    Q_EMIT helpRequested(QStringLiteral("run"));
}

const ScorePage::Entry* ScorePage::entryOf(Factor factor) const {
    const auto it =
        std::ranges::find(entries_, factor, [](const Entry& entry) { return entry.def->factor; });
    return it == entries_.end() ? nullptr : &*it;
}

// The link in a group's "What's This" text opens the factor's own topic.
bool ScorePage::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::WhatsThisClicked) {
        QWhatsThis::hideText();
        Q_EMIT helpRequested(static_cast<QWhatsThisClickedEvent*>(event)->href());
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void ScorePage::showEvent(QShowEvent* event) {
    if (entries_.empty())
        buildControls();
    // The button glyphs are read from image files; loading them on the first
    // showing keeps them out of the program's start-up. The desktop theme's
    // icons come in every size and stay sharp when scaled; the style's own
    // stand in where the theme has none.
    if (okButton->icon().isNull()) {
        okButton->setIcon(
            themeIcon(*this, {"dialog-ok", "dialog-ok-apply"}, QStyle::SP_DialogOkButton));
        cancelButton->setIcon(
            themeIcon(*this, {"dialog-cancel", "process-stop"}, QStyle::SP_DialogCancelButton));
        helpButton->setIcon(
            themeIcon(*this, {"help-browser", "help-contents"}, QStyle::SP_DialogHelpButton));
    }
    QDialog::showEvent(event);
}

} // namespace caldrin
