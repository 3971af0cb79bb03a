// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/windowplacement.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <algorithm>

namespace caldrin {

namespace {

// The start of a span of `length` centred on `centre`, kept within [low, high).
int placedStart(int centre, int length, int low, int high) {
    const int start = centre - length / 2;
    return std::max(low, std::min(start, high - length));
}

} // namespace

QRect placedFrame(QSize frameSize, const QRect& anchor, const QRect& available) {
    const QSize size = frameSize.boundedTo(available.size());
    const QRect& around = anchor.isValid() ? anchor : available;
    const QPoint centre = around.topLeft() + QPoint(around.width() / 2, around.height() / 2);
    const int x = placedStart(centre.x(), size.width(), available.left(),
                              available.left() + available.width());
    const int y = placedStart(centre.y(), size.height(), available.top(),
                              available.top() + available.height());
    return QRect(QPoint(x, y), size);
}

WindowPlacer::WindowPlacer(QWidget& mainWindow)
    : mainWindow_(&mainWindow) {
    mainWindow.installEventFilter(this);
}

void WindowPlacer::watch(QWidget& window) {
    window.installEventFilter(this);
}

bool WindowPlacer::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Show && watched->isWidgetType()) {
        auto& window = static_cast<QWidget&>(*watched);
        if (window.isWindow()) {
            if (&window != mainWindow_)
                place(window);
            // Qt draws focus frames only once a key has moved the focus;
            // someone at the keyboard needs to see where it is at once.
            window.setAttribute(Qt::WA_KeyboardFocusChange);
        }
    }
    return QObject::eventFilter(watched, event);
}

void WindowPlacer::place(QWidget& window) const {
    const QWidget* anchor = mainWindow_ && mainWindow_->isVisible() ? mainWindow_.data() : nullptr;
    const QScreen* screen = anchor ? anchor->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    // The frame is known once the window has been shown; before that, the
    // client area stands in for it.
    QMargins frame;
    if (const QWindow* handle = window.windowHandle())
        frame = handle->frameMargins();
    const QSize frameSize = window.size().grownBy(frame);
    const QRect placed = placedFrame(frameSize, anchor ? anchor->frameGeometry() : QRect(),
                                     screen->availableGeometry());
    const QSize client = placed.size().shrunkBy(frame);
    if (client != window.size())
        window.resize(client.expandedTo(window.minimumSize()));
    window.move(placed.topLeft());
}

} // namespace caldrin
