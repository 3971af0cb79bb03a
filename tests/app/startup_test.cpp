// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/startup.h"

#include <QApplication>
#include <QFileInfo>
#include <QTest>
#include <QWidget>

// The real start-up, as main() runs it.
class StartupTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void everyWindowCarriesTheProgramIcon() {
        caldrin::Startup startup(*qApp);
        // The main window and the three score pages are made at start-up; the
        // details dialog, the report and the self-test results on first use.
        const QWidgetList windows = QApplication::topLevelWidgets();
        QVERIFY(windows.size() >= 4);
        for (const QWidget* window : windows) {
            QVERIFY2(window->windowIcon().availableSizes().contains(QSize(48, 48)),
                     qPrintable(window->objectName()));
            // Drawn from the images built into the program.
            QVERIFY(!window->windowIcon().pixmap(QSize(48, 48)).isNull());
        }
        // Windows made later take the program's icon too.
        QVERIFY(QApplication::windowIcon().availableSizes().contains(QSize(48, 48)));
    }

    // Windows needed only later cost the start nothing: they are made when
    // first wanted.
    void windowsNeededLaterAreNotMadeAtStartUp() {
        caldrin::Startup startup(*qApp);
        QStringList names;
        for (const QWidget* window : QApplication::topLevelWidgets())
            names << window->objectName();
        QVERIFY2(names.contains(QStringLiteral("TForm1")), qPrintable(names.join(u' ')));
        for (const char* later : {"TForm5", "TForm6", "TForm7"})
            QVERIFY2(!names.contains(QLatin1String(later)), later);
    }

    // The desktop finds the running program's entry, and through it the
    // installed icon, by this name.
    void theProgramNamesItsDesktopEntry() {
        caldrin::Startup startup(*qApp);
        QVERIFY(QFileInfo::exists(QStringLiteral(CALDRIN_DIST_DIR "/") +
                                  QGuiApplication::desktopFileName() + QStringLiteral(".desktop")));
    }
};

QTEST_MAIN(StartupTest)
#include "startup_test.moc"
