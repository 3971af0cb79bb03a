// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "widgets/optiongroup.h"

#include <QApplication>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>

namespace caldrin::testing {

// Clicks the round indicator of an option, where a user aims.
inline void clickOption(const OptionGroup& group, int index) {
    QRadioButton* button = group.optionButton(index);
    QVERIFY(button);
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    const QRect indicator =
        button->style()->subElementRect(QStyle::SE_RadioButtonIndicator, &option, button);
    QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, indicator.center());
}

// A key pressed wherever the keyboard focus is.
inline void pressKey(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QWidget* focused = QApplication::focusWidget();
    QVERIFY2(focused, "no widget has the keyboard focus");
    QTest::keyClick(focused, key, modifiers);
}

// The name of the control that has the focus: an option's group, or the widget itself.
inline QString focusOwner() {
    QWidget* focused = QApplication::focusWidget();
    if (!focused)
        return QStringLiteral("(nothing)");
    if (auto* group = qobject_cast<OptionGroup*>(focused->parentWidget()))
        return group->objectName();
    return focused->objectName();
}

} // namespace caldrin::testing
