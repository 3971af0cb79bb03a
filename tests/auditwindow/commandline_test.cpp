// SPDX-License-Identifier: GPL-3.0-or-later
#include "programrun.h"

#include <QTest>

// The audit window program as its users start it, with a bare environment:
// help and version from any terminal, and one plain line where no display
// can be opened.
class AuditWindowCommandLineTest : public QObject {
    Q_OBJECT

    static ProgramRun run(const QStringList& arguments, const QStringList& environment = {}) {
        return runWithBareEnvironment(QStringLiteral(CALDRIN_AUDIT_WINDOW), arguments, environment);
    }

private Q_SLOTS:
    void helpAndVersionNeedNoDisplay_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("printed");
        QTest::newRow("version") << QStringList{"--version"}
                                 << "Caldrin Audit " CALDRIN_VERSION "\n";
        QTest::newRow("help lists the options") << QStringList{"--help"} << "--odds-ratio <R>";
        QTest::newRow("short help after a file")
            << QStringList{"audit.csv", "-h"} << "Usage: " CALDRIN_AUDIT_WINDOW " [options]";
    }

    void helpAndVersionNeedNoDisplay() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, printed);
        const ProgramRun result = run(arguments);
        QCOMPARE(result.status, QProcess::NormalExit);
        QCOMPARE(result.code, 0);
        QVERIFY2(result.out.contains(printed), qPrintable(result.out));
        QCOMPARE(result.err, QString());
    }

    void withoutADisplayTheProgramSaysSoInOneLine_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QStringList>("environment");
        QTest::addColumn<QString>("said");
        QTest::newRow("none named") << QStringList{"audit.csv"} << QStringList{}
                                    << "caldrin-audit-window: no graphical display to open: ";
        QTest::newRow("help after the end of options")
            << QStringList{"--", "--help"} << QStringList{}
            << "caldrin-audit-window: no graphical display to open: ";
        // A stale forwarded display: Qt itself would abort.
        QTest::newRow("one that cannot be opened")
            << QStringList{} << QStringList{"DISPLAY=:4711", "XDG_RUNTIME_DIR=/tmp"}
            << "caldrin-audit-window: cannot open the display: ";
    }

    void withoutADisplayTheProgramSaysSoInOneLine() {
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, environment);
        QFETCH(QString, said);
        const ProgramRun result = run(arguments, environment);
        QCOMPARE(result.status, QProcess::NormalExit);
        QCOMPARE(result.code, 1);
        QCOMPARE(result.out, QString());
        QVERIFY2(result.err.startsWith(said), qPrintable(result.err));
        QCOMPARE(result.err.count(QLatin1Char('\n')), 1);
    }

    // The analysis options are read in one place: both programs refuse the
    // same values in the same words, before any file is read.
    void bothProgramsRefuseTheSameOptionsAlike_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("said");
        QTest::newRow("odds ratio 1") << QStringList{"--odds-ratio", "1"}
                                      << "--odds-ratio takes a number from 0.01 to 100 other "
                                         "than 1";
        QTest::newRow("odds ratio huge")
            << QStringList{"--odds-ratio=1e100"} << "--odds-ratio takes a number from 0.01 to 100";
        QTest::newRow("limit zero")
            << QStringList{"--limit", "0"} << "--limit takes a number above 0 and at most 1000";
        QTest::newRow("limit not a number")
            << QStringList{"--limit", "four"} << "--limit takes a number above 0";
        QTest::newRow("run length too long") << QStringList{"--arl", "1e7"}
                                             << "--arl takes a number of episodes from 10 to "
                                                "1000000, not 1e7";
        QTest::newRow("run length too short") << QStringList{"--arl", "1"} << "--arl takes";
        QTest::newRow("date order")
            << QStringList{"--date-order", "dym"} << "--date-order takes dmy, mdy or ymd, not dym";
    }

    void bothProgramsRefuseTheSameOptionsAlike() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, said);
        const QStringList withFile = arguments + QStringList{QStringLiteral("/nonexistent.csv")};
        const ProgramRun window = run(withFile, {QStringLiteral("QT_QPA_PLATFORM=offscreen")});
        const ProgramRun audit =
            runWithBareEnvironment(QStringLiteral(CALDRIN_AUDIT_PROGRAM), withFile);
        for (const ProgramRun& result : {window, audit}) {
            QCOMPARE(result.status, QProcess::NormalExit);
            QCOMPARE(result.code, 1);
            QVERIFY2(result.err.contains(said), qPrintable(result.err));
        }
    }
};

QTEST_GUILESS_MAIN(AuditWindowCommandLineTest)
#include "commandline_test.moc"
