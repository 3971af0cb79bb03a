// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QSize>

class QWidget;

namespace caldrin {

// Where a window whose frame is `frameSize` opens: centred on `anchor` (the
// main window's frame), then moved to lie wholly inside `available` (the
// screen less its panels), so that its title bar can always be seen and
// dragged. A frame larger than `available` is cut to it; the top left wins.
QRect placedFrame(QSize frameSize, const QRect& anchor, const QRect& available);

// Places every window it watches over the main window each time it opens, and
// shows keyboard focus there from the start instead of after the first key.
class WindowPlacer : public QObject {
    Q_OBJECT
public:
    explicit WindowPlacer(QWidget& mainWindow);

    // `window` is placed when shown; the main window itself is only given
    // visible focus.
    void watch(QWidget& window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void place(QWidget& window) const;

    QPointer<QWidget> mainWindow_;
};

} // namespace caldrin
