// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/optiongroup.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QRadioButton>
#include <QVBoxLayout>

namespace caldrin {

OptionGroup::OptionGroup(QWidget* parent)
    : QGroupBox(parent)
    , buttons_(new QButtonGroup(this))
    , optionLayout_(new QVBoxLayout)
    , footerLayout_(new QVBoxLayout)
    , cornerLayout_(new QVBoxLayout) {
    buttons_->setExclusive(true);
    auto* frame = new QHBoxLayout(this);
    footerLayout_->addLayout(optionLayout_);
    frame->addLayout(footerLayout_, 1);
    cornerLayout_->addStretch(1);
    frame->addLayout(cornerLayout_);
    connect(buttons_, &QButtonGroup::idClicked, this, &OptionGroup::onButtonClicked);
}

void OptionGroup::setOptions(const QString& caption, const QStringList& options) {
    setTitle(caption);
    setAccessibleName(caption);

    // The list is refilled in place: the option buttons keep their places in
    // the keyboard order, and one that has the focus keeps it.
    const QWidget* focused = window()->focusWidget();
    bool lostFocus = false;
    while (optionCount() > options.size()) {
        QAbstractButton* surplus = buttons_->button(optionCount() - 1);
        lostFocus = lostFocus || surplus == focused;
        buttons_->removeButton(surplus);
        delete surplus;
    }
    while (optionCount() < options.size()) {
        const int index = optionCount();
        auto* button = new QRadioButton(this);
        button->setObjectName(QStringLiteral("option%1").arg(index));
        button->installEventFilter(this);
        buttons_->addButton(button, index);
        optionLayout_->addWidget(button);
    }
    for (int i = 0; i < options.size(); ++i)
        buttons_->button(i)->setText(options.at(i));

    // An exclusive group cannot uncheck its chosen option, so it lets go of
    // exclusiveness for a moment to leave no choice.
    if (QAbstractButton* chosen = buttons_->checkedButton()) {
        buttons_->setExclusive(false);
        chosen->setChecked(false);
        buttons_->setExclusive(true);
    }
    updateTabStop();
    if (lostFocus && tabStop())
        tabStop()->setFocus(Qt::OtherFocusReason);
}

int OptionGroup::optionCount() const {
    return int(buttons_->buttons().size());
}

int OptionGroup::chosenIndex() const {
    return buttons_->checkedId();
}

QRadioButton* OptionGroup::optionButton(int index) const {
    return qobject_cast<QRadioButton*>(buttons_->button(index));
}

QRadioButton* OptionGroup::tabStop() const {
    if (auto* chosen = qobject_cast<QRadioButton*>(buttons_->checkedButton()))
        return chosen;
    return optionButton(0);
}

void OptionGroup::setCornerWidget(QWidget* widget) {
    cornerLayout_->addWidget(widget, 0, Qt::AlignRight | Qt::AlignBottom);
}

void OptionGroup::setFooterWidget(QWidget* widget) {
    footerLayout_->addWidget(widget);
}

void OptionGroup::setChosenIndex(int index) {
    if (QAbstractButton* button = buttons_->button(index)) {
        button->setChecked(true);
        updateTabStop();
    }
}

void OptionGroup::onButtonClicked(int index) {
    updateTabStop();
    Q_EMIT optionChosen(index);
}

// Tab passes the group as one stop; the other options are reached with the
// arrow keys or the mouse.
void OptionGroup::updateTabStop() {
    QRadioButton* stop = tabStop();
    for (QAbstractButton* button : buttons_->buttons())
        button->setFocusPolicy(button == stop ? Qt::StrongFocus : Qt::ClickFocus);
    setFocusProxy(stop);
}

bool OptionGroup::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress)
        return QGroupBox::eventFilter(watched, event);
    auto* button = qobject_cast<QAbstractButton*>(watched);
    const int index = button ? buttons_->id(button) : -1;
    const int count = optionCount();
    if (index < 0 || count == 0)
        return QGroupBox::eventFilter(watched, event);

    const auto* key = static_cast<QKeyEvent*>(event);
    if ((key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
        return QGroupBox::eventFilter(watched, event);
    int step = 0;
    switch (key->key()) {
    case Qt::Key_Up:
    case Qt::Key_Left:
        step = -1;
        break;
    case Qt::Key_Down:
    case Qt::Key_Right:
        step = 1;
        break;
    default:
        return QGroupBox::eventFilter(watched, event);
    }
    // Moving onto an option chooses it, as in the desktop's own radio groups.
    QAbstractButton* target = buttons_->button((index + step + count) % count);
    target->setFocus(step < 0 ? Qt::BacktabFocusReason : Qt::TabFocusReason);
    target->click();
    return true;
}

} // namespace caldrin
