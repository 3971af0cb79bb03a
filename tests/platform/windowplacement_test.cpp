// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/windowplacement.h"

#include <QTest>

using namespace caldrin;

// The geometry asked of the window manager, worked out without one.
class WindowPlacementTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void framesAreCentredThenKeptOnTheScreen_data() {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QRect>("anchor");
        QTest::addColumn<QRect>("placed");
        // A 1280x800 screen with a 32-pixel panel at the top.
        QTest::newRow("centred") << QSize(400, 300) << QRect(300, 200, 600, 400)
                                 << QRect(400, 250, 400, 300);
        QTest::newRow("main window in the top left corner")
            << QSize(700, 500) << QRect(0, 32, 300, 200) << QRect(0, 32, 700, 500);
        QTest::newRow("main window at the bottom right")
            << QSize(700, 560) << QRect(1000, 600, 280, 200) << QRect(580, 240, 700, 560);
        QTest::newRow("taller than the screen: cut, title bar on screen")
            << QSize(600, 900) << QRect(300, 200, 600, 400) << QRect(300, 32, 600, 768);
        QTest::newRow("no main window: the screen's centre")
            << QSize(400, 300) << QRect() << QRect(440, 266, 400, 300);
    }
    void framesAreCentredThenKeptOnTheScreen() {
        QFETCH(QSize, size);
        QFETCH(QRect, anchor);
        QFETCH(QRect, placed);
        QCOMPARE(placedFrame(size, anchor, QRect(0, 32, 1280, 768)), placed);
    }
};

QTEST_MAIN(WindowPlacementTest)
#include "windowplacement_test.moc"
