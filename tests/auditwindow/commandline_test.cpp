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
};

QTEST_GUILESS_MAIN(AuditWindowCommandLineTest)
#include "commandline_test.moc"
