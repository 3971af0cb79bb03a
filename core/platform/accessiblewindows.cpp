// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/accessiblewindows.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QWidget>

namespace caldrin {

namespace {

// A window of the program's own class built straight on QWidget; dialogs and
// main windows already have their roles.
bool isPlainWindow(const QString& className, QObject* object) {
    auto* widget = qobject_cast<QWidget*>(object);
    if (!widget || !widget->isWindow() ||
        className != QLatin1String(object->metaObject()->className()))
        return false;
    const QMetaObject* meta = object->metaObject();
    while (meta && QByteArray(meta->className()).startsWith("caldrin::"))
        meta = meta->superClass();
    return meta == &QWidget::staticMetaObject;
}

QAccessibleInterface* windowRole(const QString& className, QObject* object) {
    if (!isPlainWindow(className, object))
        return nullptr;
    return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Window);
}

} // namespace

void installWindowRoles() {
    static const bool installed = [] {
        QAccessible::installFactory(windowRole);
        return true;
    }();
    (void)installed;
}

} // namespace caldrin
