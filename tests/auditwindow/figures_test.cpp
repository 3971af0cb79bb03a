// SPDX-License-Identifier: GPL-3.0-or-later
#include "auditwindow/figures.h"
#include "auditwindow/sourceline.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace caldrin::audit;
using namespace caldrin::auditwindow;

namespace {

ObservedExpected figures(std::uint64_t observed, double expected, double lower, double upper) {
    ObservedExpected f;
    f.n = 1000;
    f.observed = observed;
    f.expected = expected;
    f.ratio = observed / expected;
    f.interval = Interval{lower, upper};
    f.unreliable = expected < kReliableExpected;
    return f;
}

} // namespace

class FiguresTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void findingSaysWhatTheIntervalShows_data() {
        QTest::addColumn<int>("observed");
        QTest::addColumn<double>("expected");
        QTest::addColumn<double>("lower");
        QTest::addColumn<double>("upper");
        QTest::addColumn<bool>("mortality");
        QTest::addColumn<QString>("text");
        QTest::newRow("more deaths") << 71 << 50.0 << 1.05 << 1.88 << true
                                     << "more deaths than expected: O:E 1.42 (1.05\u20131.88)";
        QTest::newRow("fewer complications")
            << 30 << 50.0 << 0.40 << 0.86 << false
            << "fewer complications than expected: O:E 0.60 (0.40\u20130.86)";
        QTest::newRow("interval holds 1")
            << 50 << 50.0 << 0.74 << 1.32 << true
            << "no clear difference from expected: O:E 1.00 (0.74\u20131.32)";
        // A lower limit of exactly 1 does not leave 1 out.
        QTest::newRow("limit at 1")
            << 60 << 45.0 << 1.0 << 1.72 << true
            << "no clear difference from expected: O:E 1.33 (1.00\u20131.72)";
        QTest::newRow("few expected") << 9 << 3.0 << 1.37 << 5.69 << true
                                      << "more deaths than expected: O:E 3.00 (1.37\u20135.69); "
                                         "unreliable: fewer than 5 deaths expected";
    }
    void findingSaysWhatTheIntervalShows() {
        QFETCH(int, observed);
        QFETCH(double, expected);
        QFETCH(double, lower);
        QFETCH(double, upper);
        QFETCH(bool, mortality);
        QFETCH(QString, text);
        const ObservedExpected f =
            figures(static_cast<std::uint64_t>(observed), expected, lower, upper);
        QCOMPARE(
            findingText(f, mortality ? Outcome::Mortality : Outcome::Morbidity, NumberFormat()),
            text);
    }

    void missingFiguresAreSaidNotPrinted() {
        ObservedExpected none;
        QCOMPARE(findingText(none, Outcome::Mortality, NumberFormat()),
                 QStringLiteral("no episodes"));
        none.n = 12;
        QCOMPARE(findingText(none, Outcome::Mortality, NumberFormat()),
                 QStringLiteral("no deaths expected"));

        AnalysisResult result;
        ModelResult model;
        model.model = Model::PPossumMortality;
        model.outcome = Outcome::Mortality;
        model.overall = figures(2, 1.5, 0.16, 4.8);
        result.models.push_back(model);
        const FigureTable table =
            summaryTable(result, Outcome::Mortality, NumberFormat(QLatin1Char(',')));
        QCOMPARE(table.rows.size(), 1u);
        const QStringList& cells = table.rows[0].cells;
        QCOMPARE(cells[4], QStringLiteral("1,33 (0,16\u20134,80), unreliable"));
        QCOMPARE(cells[5], QStringLiteral("n/a")); // no AUROC without both outcomes
        QVERIFY(!table.rows[0].notes[5].isEmpty());
        // CSV rounds as shown, keeps the full stop, leaves undefined figures
        // empty and says the dates in every row.
        const QByteArray bytes = csvText(table, QStringLiteral("all dates"));
        QVERIFY(bytes.startsWith("\xEF\xBB\xBF"
                                 "Dates,Model,n,Observed,Expected,O:E,"));
        const QString csv = QString::fromUtf8(bytes);
        QVERIFY2(csv.contains(QStringLiteral(
                     "\r\nall dates,P-POSSUM mortality,1000,2,1.50,1.33,0.16,4.80,yes,,,,yes,")),
                 qPrintable(csv));
    }

    // A dash between two negative bounds reads as one more minus, and a
    // hyphen is not a minus sign.
    void numbersShowATrueMinusAndNoNegativeZero_data() {
        QTest::addColumn<double>("lower");
        QTest::addColumn<double>("upper");
        QTest::addColumn<QString>("separator");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("csv"); // the lower bound
        QTest::newRow("both positive") << 1.05 << 1.88 << "."
                                       << "1.05\u20131.88"
                                       << "1.05";
        QTest::newRow("both negative") << -1.17 << -0.89 << "."
                                       << "\u22121.17 to \u22120.89"
                                       << "-1.17";
        QTest::newRow("across zero") << -0.5 << 0.25 << ","
                                     << "\u22120,50 to 0,25"
                                     << "-0.50";
        QTest::newRow("negative zero") << -0.0004 << 0.3 << "."
                                       << "0.00\u20130.30"
                                       << "0.00";
        QTest::newRow("both round to zero") << -0.004 << -0.001 << "."
                                            << "0.00\u20130.00"
                                            << "0.00";
    }
    void numbersShowATrueMinusAndNoNegativeZero() {
        QFETCH(double, lower);
        QFETCH(double, upper);
        QFETCH(QString, separator);
        QFETCH(QString, shown);
        QFETCH(QString, csv);
        const NumberFormat format(separator.at(0));
        QCOMPARE(format.range(Interval{lower, upper}, 2), shown);
        QCOMPARE(format.withInterval(0, Interval{lower, upper}, 2),
                 format.number(0, 2) + QStringLiteral(" (") + shown + QStringLiteral(")"));
        QCOMPARE(csvNumber(lower, 2), csv);
        QVERIFY(!format.number(-0.0, 3).contains(QChar(0x2212)));
        QVERIFY(!format.number(lower, 2).contains(QLatin1Char('-')));
    }

    void csvQuotesWhatNeedsQuoting() {
        FigureTable table;
        table.csvHeaders = {"file", "problem"};
        table.csvRows = {{"a,b.csv", "he said \"no\""}, {"plain", "two\nlines"}};
        QCOMPARE(csvText(table), QByteArray("\xEF\xBB\xBF"
                                            "file,problem\r\n\"a,b.csv\",\"he said \"\"no\"\"\"\r\n"
                                            "plain,\"two\nlines\"\r\n"));
    }

    void sourceLineIsReadSafely_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("expected"); // "-" for none
        const QByteArray text("first\r\nsecond \xe9\x80\r\nbell\x07here\nlast");
        QTest::newRow("CR LF removed, Windows-1252")
            << text << 2 << QStringLiteral("second \u00e9\u20ac");
        QTest::newRow("control character shown safely") << text << 3 << QStringLiteral("bell?here");
        QTest::newRow("last line without a break") << text << 4 << QStringLiteral("last");
        QTest::newRow("past the end") << text << 5 << QStringLiteral("-");
        QTest::newRow("line 0") << text << 0 << QStringLiteral("-");
        QByteArray big(3 << 20, 'x');
        big[(1 << 20) - 1] = '\n'; // a line break at a block's last byte
        big.append("\ntail");
        QTest::newRow("across blocks") << big << 3 << QStringLiteral("tail");
    }
    void sourceLineIsReadSafely() {
        QFETCH(QByteArray, content);
        QFETCH(int, line);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        QFile file(dir.filePath("f.csv"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
        file.close();
        const auto got = readSourceLine(file.fileName(), static_cast<std::uint64_t>(line));
        QCOMPARE(got.value_or(QStringLiteral("-")), expected);
    }
};

QTEST_MAIN(FiguresTest)
#include "figures_test.moc"
