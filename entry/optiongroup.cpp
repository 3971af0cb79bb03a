#include "entry/optiongroup.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QRadioButton>
#include <QVBoxLayout>

namespace caldrin {

OptionGroup::OptionGroup(QWidget* parent)
    : QGroupBox(parent)
    , buttons_(new QButtonGroup(this))
    , optionLayout_(new QVBoxLayout)
    , cornerLayout_(new QVBoxLayout) {
    buttons_->setExclusive(true);
    auto* frame = new QHBoxLayout(this);
    frame->addLayout(optionLayout_, 1);
    cornerLayout_->addStretch(1);
    frame->addLayout(cornerLayout_);
    connect(buttons_, &QButtonGroup::idClicked, this, &OptionGroup::optionChosen);
}

void OptionGroup::setOptions(const QString& caption, const QStringList& options) {
    setTitle(caption);
    // An exclusive group cannot uncheck its last button, so "no choice" needs
    // fresh buttons.
    const auto old = buttons_->buttons();
    for (QAbstractButton* button : old) {
        buttons_->removeButton(button);
        delete button;
    }
    for (int i = 0; i < options.size(); ++i) {
        auto* button = new QRadioButton(options.at(i), this);
        button->setObjectName(QStringLiteral("option%1").arg(i));
        buttons_->addButton(button, i);
        optionLayout_->addWidget(button);
    }
    setFocusProxy(options.isEmpty() ? nullptr : buttons_->button(0));
}

int OptionGroup::optionCount() const { return int(buttons_->buttons().size()); }

int OptionGroup::chosenIndex() const { return buttons_->checkedId(); }

QRadioButton* OptionGroup::optionButton(int index) const {
    return qobject_cast<QRadioButton*>(buttons_->button(index));
}

void OptionGroup::setCornerWidget(QWidget* widget) {
    cornerLayout_->addWidget(widget, 0, Qt::AlignRight | Qt::AlignBottom);
}

} // namespace caldrin
