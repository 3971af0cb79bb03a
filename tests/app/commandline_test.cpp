// SPDX-License-Identifier: GPL-3.0-or-later
#include "programrun.h"

#include <QTest>

// The calculator as its users start it: the built program, run with a bare
// environment, so that nothing of a desktop is there unless a case adds it.
class CommandLineTest : public QObject {
    Q_OBJECT

    static ProgramRun runCalculator(const QStringList& arguments, const QStringList& environment) {
        return runWithBareEnvironment(QStringLiteral(CALDRIN_PROGRAM), arguments, environment);
    }

private Q_SLOTS:
    void helpAndVersionNeedNoDisplay_data() {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QString>("printed");
        QTest::newRow("version") << "--version"
                                 << "caldrin " CALDRIN_VERSION "\n";
        QTest::newRow("help names /TEST") << "--help"
                                          << "  /TEST ";
        // In a build tree both lie beside the program.
        QTest::newRow("help finds the help file")
            << "--help"
            << "Help file:   " CALDRIN_PROGRAM_DIR "/Caldrin v3.hlp\n";
        QTest::newRow("help finds the viewer")
            << "--help"
            << "Help viewer: " CALDRIN_PROGRAM_DIR "/caldrin-help\n";
    }

    void helpAndVersionNeedNoDisplay() {
        QFETCH(QString, argument);
        QFETCH(QString, printed);
        const ProgramRun run = runCalculator({argument}, {});
        QCOMPARE(run.status, QProcess::NormalExit);
        QCOMPARE(run.code, 0);
        QVERIFY2(run.out.contains(printed), qPrintable(run.out));
        QCOMPARE(run.err, QString());
    }

    // Only the first argument is read, so none of these asks for help, and
    // each needs the display that is not there.
    void withoutADisplayTheProgramSaysSoInOneLine_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("no argument") << QStringList{};
        QTest::newRow("direct entry") << QStringList{"/test"};
        QTest::newRow("unknown option") << QStringList{"--frobnicate"};
        QTest::newRow("help after /TEST") << QStringList{"/TEST", "--help"};
        QTest::newRow("short help") << QStringList{"-h"};
    }

    void withoutADisplayTheProgramSaysSoInOneLine() {
        QFETCH(QStringList, arguments);
        const ProgramRun run = runCalculator(arguments, {});
        QCOMPARE(run.status, QProcess::NormalExit);
        QCOMPARE(run.code, 1);
        QCOMPARE(run.out, QString());
        QVERIFY2(run.err.startsWith(QStringLiteral("caldrin: no graphical display")),
                 qPrintable(run.err));
        QCOMPARE(run.err.count(QLatin1Char('\n')), 1);
    }

    // A display that is named but cannot be opened (a stale forwarded one)
    // ends the program the same way, instead of the abort Qt would take.
    void aDisplayThatCannotBeOpenedEndsInOneLine() {
        const ProgramRun run = runCalculator(
            {}, {QStringLiteral("DISPLAY=:4711"), QStringLiteral("XDG_RUNTIME_DIR=/tmp")});
        QCOMPARE(run.status, QProcess::NormalExit);
        QCOMPARE(run.code, 1);
        QVERIFY2(run.err.startsWith(QStringLiteral("caldrin: cannot open the display: ")),
                 qPrintable(run.err));
        QCOMPARE(run.err.count(QLatin1Char('\n')), 1);
    }
};

QTEST_GUILESS_MAIN(CommandLineTest)
#include "commandline_test.moc"
