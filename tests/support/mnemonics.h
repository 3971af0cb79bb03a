// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Access keys (Alt + the letter after "&") that two controls of one window
// share. Qt gives a clashing key to the first control and then cycles, so a
// user who presses it may land anywhere; each key in view must be one
// control's own.

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QMap>
#include <QMenu>
#include <QMenuBar>
#include <QTabBar>
#include <QWidget>

namespace caldrin::testing {

// The letter after the first single "&" of `text` ("&&" is a plain "&"), in
// lower case; none when the text has no access key.
inline QChar accessKey(const QString& text) {
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != QLatin1Char('&'))
            continue;
        if (text[i + 1] != QLatin1Char('&'))
            return text[i + 1].toLower();
        ++i;
    }
    return {};
}

// "Alt+O: &Outcomes to complete, R&OC curve", one line per key that more
// than one control shown in `window` now (its menu bar's titles included)
// answers to, then the same for the items of each of its menus.
inline QStringList mnemonicClashes(const QWidget* window) {
    QStringList clashes;
    auto report = [&clashes](const QString& where, const QMap<QChar, QStringList>& keys) {
        for (auto key = keys.cbegin(); key != keys.cend(); ++key)
            if (key.value().size() > 1)
                clashes << QStringLiteral("%1Alt+%2: %3")
                               .arg(where, key.key().toUpper(),
                                    key.value().join(QStringLiteral(", ")));
    };
    QMap<QChar, QStringList> keys;
    auto add = [&keys](const QString& text) {
        if (const QChar key = accessKey(text); !key.isNull())
            keys[key] << text;
    };
    QList<const QMenu*> menus;
    for (const QWidget* w : window->findChildren<QWidget*>()) {
        if (w->window() != window || !w->isVisibleTo(window))
            continue;
        if (const auto* button = qobject_cast<const QAbstractButton*>(w))
            add(button->text());
        else if (const auto* label = qobject_cast<const QLabel*>(w); label && label->buddy())
            add(label->text());
        else if (const auto* box = qobject_cast<const QGroupBox*>(w))
            add(box->title());
        else if (const auto* tabs = qobject_cast<const QTabBar*>(w)) {
            for (int t = 0; t < tabs->count(); ++t)
                if (tabs->isTabVisible(t))
                    add(tabs->tabText(t));
        } else if (const auto* bar = qobject_cast<const QMenuBar*>(w)) {
            for (const QAction* action : bar->actions())
                if (action->isVisible()) {
                    add(action->text());
                    if (action->menu())
                        menus << action->menu();
                }
        }
    }
    report(QString(), keys);
    // A menu's items answer their letters while it is open, each submenu's
    // likewise.
    for (qsizetype m = 0; m < menus.size(); ++m) {
        QMap<QChar, QStringList> items;
        for (const QAction* action : menus[m]->actions()) {
            if (!action->isVisible() || action->isSeparator())
                continue;
            if (const QChar key = accessKey(action->text()); !key.isNull())
                items[key] << action->text();
            if (action->menu())
                menus << action->menu();
        }
        report(menus[m]->title().remove(QLatin1Char('&')) + QStringLiteral(" menu: "), items);
    }
    return clashes;
}

} // namespace caldrin::testing
