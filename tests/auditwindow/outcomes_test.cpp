// SPDX-License-Identifier: GPL-3.0-or-later
// "Outcomes to complete" driven as a user would: the list, recording an
// outcome through the calculator's audit file writer, and the refusals.

#include "audit/auditanalysis.h"
#include "audittesting.h"
#include "auditwindow/auditwindow.h"
#include "auditwindowtesting.h"
#include "fakeplatform.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>

#include <sys/resource.h>

using namespace caldrin;
using namespace caldrin::audit;
using namespace caldrin::auditwindow;
using caldrin::auditwindow::testing::FakeAuditDialogs;
using caldrin::testing::FakePlatform;

namespace {

const QByteArray kHeader = "NAME,ID,DOB,DATE,AGE,CARDIAC,RESPIRATORY,BP,PULSE,GCS,Hb,WCC,Urea,Na+,"
                           "K+,ECG,PHYS_TOTAL,OP_SEV,MULT,BL_LOSS,SOIL,MALIG,MODE,OP_TOTAL,P_MORB,"
                           "P_MORT,P-P_MORT,V_MORT,VP_MORT,MORBIDITY,MORTALITY\r\n";

QByteArray leading(const QByteArray& identity, const QByteArray& date) {
    return identity + "," + date +
           ",1,2,1,1,2,1,1,1,2,1,1,1,14,2,1,1,1,1,4,10,0.2000,0.1000,0.0500,0.0400,0.0300";
}

// Episodes A (due, a quoted name), B (not yet due on 11 Dec 2026), C (known)
// and D (no identity: cannot be followed up).
const QByteArray kLeadingA = leading("\"Smith, Jo\",77,01/02/1950", "01/10/2026");
const QByteArray kFile = kHeader + kLeadingA + ",,\r\n" +
                         leading("Brown,78,03/04/1960", "05/12/2026") + ",0,\r\n" +
                         leading("Known,79,03/04/1960", "01/09/2026") + ",0,0\r\n" +
                         leading(",,", "01/08/2026") + ",,\r\n";

QByteArray readAll(const QString& path) {
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

} // namespace

class OutcomesPageTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    FakePlatform platform;
    FakeAuditDialogs dialogs;
    std::unique_ptr<AuditWindow> window;
    QString path;

    template <typename T> T* child(const char* name) { return window->findChild<T*>(name); }

    void waitForFigures() {
        QTRY_VERIFY_WITH_TIMEOUT(
            !window->isBusy() && window->shownLoad() && window->shownLoad()->complete, 60000);
    }

    // Opens the file, shows the page and picks the episode named `name`.
    void openAndPick(const QString& name) {
        AuditOptions settings;
        settings.read.currentYear = 2026;
        settings.analysis.limit = 4.0;
        window = std::make_unique<AuditWindow>(platform, dialogs, settings);
        window->show();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        dialogs.openAnswers.push_back({path});
        QTest::keyClick(window.get(), Qt::Key_O, Qt::ControlModifier);
        waitForFigures();
        auto* pages = child<QTabWidget>("pages");
        QTabBar* tabs = pages->tabBar();
        for (int i = 0; i < tabs->count(); ++i)
            if (tabs->tabText(i) == QStringLiteral("&Outcomes to complete"))
                QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(i).center());
        QCOMPARE(pages->currentWidget()->objectName(), QStringLiteral("outcomesPage"));
        pick(name);
    }

    int rowOf(const QString& name) {
        QAbstractItemModel* model = child<QTableView>("outstandingTable")->model();
        for (int row = 0; row < model->rowCount(); ++row)
            if (model->index(row, 3).data().toString().startsWith(name))
                return row;
        return -1;
    }

    void pick(const QString& name) {
        auto* table = child<QTableView>("outstandingTable");
        const int row = rowOf(name);
        QVERIFY(row >= 0);
        const QRect cell = table->visualRect(table->model()->index(row, 0));
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
    }

    // Answers both questions and confirms in the dialog that asks.
    void record(bool morbidity, bool died) {
        child<QRadioButton>(morbidity ? "morbidityYes" : "morbidityNo")->click();
        child<QRadioButton>(died ? "deathYes" : "deathNo")->click();
        auto* button = child<QPushButton>("recordOutcomeButton");
        QVERIFY(button->isEnabled());
        platform.modalHandlers.push_back([](QDialog& dialog) {
            QVERIFY(dialog.findChild<QLabel*>("confirmText")->text().contains("1 record"));
            dialog.findChild<QPushButton*>("confirmRecordButton")->click();
        });
        button->setFocus();
        QTest::keyClick(button, Qt::Key_Space);
        QVERIFY(platform.modalHandlers.empty());
    }

private Q_SLOTS:
    void init() {
        platform.date = QDate(2026, 12, 11);
        platform.messages.clear();
        path = dir.filePath(QStringLiteral("audit.csv"));
        QFile::remove(path);
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(kFile);
    }
    void cleanup() { window.reset(); }

    void listsTheOutstandingEpisodesAndFiltersThem() {
        openAndPick(QStringLiteral("Smith"));
        auto* table = child<QTableView>("outstandingTable");
        QCOMPARE(table->accessibleName(), QStringLiteral("Outcomes to complete"));
        QAbstractItemModel* model = table->model();
        QCOMPARE(model->rowCount(), 3);
        QCOMPARE(model->index(rowOf("Smith"), 0).data().toString(), QStringLiteral("due"));
        QCOMPARE(model->index(rowOf("Smith"), 1).data().toString(), QStringLiteral("71"));
        QCOMPARE(model->index(rowOf("Brown"), 0).data().toString(), QStringLiteral("not yet due"));
        QCOMPARE(model->index(rowOf("-"), 0).data().toString(),
                 QStringLiteral("due, cannot be followed up"));
        QVERIFY(child<QLabel>("completenessText")->text().contains("Warning: only"));
        QVERIFY(child<QLabel>("summaryLabel")->text().contains("Warning: only"));

        auto* show = child<QComboBox>("outcomeFilter");
        show->setFocus();
        QTest::keyClick(show, Qt::Key_Down);
        QTest::keyClick(show, Qt::Key_Down);
        QCOMPARE(model->rowCount(), 1);
        QCOMPARE(model->index(0, 0).data().toString(), QStringLiteral("not yet due"));
        QTest::keyClick(show, Qt::Key_Up);
        QCOMPARE(model->rowCount(), 2);

        // An episode that can never be merged is not offered.
        pick(QStringLiteral("-"));
        child<QRadioButton>("morbidityNo")->click();
        child<QRadioButton>("deathNo")->click();
        QVERIFY(!child<QPushButton>("recordOutcomeButton")->isEnabled());
        QVERIFY(child<QLabel>("selectionNote")->text().contains("cannot be followed up"));
    }

    // The months still to chase stand out, on the page and in the exported table.
    void showsFollowUpByMonthOfProcedure() {
        openAndPick(QStringLiteral("Smith"));
        auto* view = child<QTableView>("completenessByMonth");
        QVERIFY(view->isVisible());
        const QAbstractItemModel* months = view->model();
        const auto row = [months](int r) {
            QStringList cells;
            for (int c = 0; c < months->columnCount(); ++c)
                cells << months->index(r, c).data().toString();
            return cells.join(QStringLiteral(" | "));
        };
        QCOMPARE(months->rowCount(), 4);
        QCOMPARE(row(0), QStringLiteral("Aug 2026 | 0 of 1 (0.0%) | 0 of 1 (0.0%) | under 95% "
                                        "known: outcomes to chase"));
        QCOMPARE(row(1), QStringLiteral("Sep 2026 | 1 of 1 (100.0%) | 1 of 1 (100.0%) | "));
        QCOMPARE(row(2), QStringLiteral("Oct 2026 | 0 of 1 (0.0%) | 0 of 1 (0.0%) | under 95% "
                                        "known: outcomes to chase"));
        // Brown's death is not yet due; the morbidity recorded early is not due either.
        QCOMPARE(row(3), QStringLiteral("Dec 2026 | none due | none due | "));

        const QString csv = dir.filePath(QStringLiteral("months.csv"));
        dialogs.saveAnswers.push_back(csv);
        child<QAction>("actionCsvCompletenessByMonth")->trigger();
        const QStringList lines =
            QString::fromUtf8(readAll(csv)).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 5);
        QVERIFY(lines[0].contains(QStringLiteral("Month,Mortality known of due,Mortality due,")));
        QVERIFY(lines[2].endsWith(QStringLiteral("2026-09,1,1,100.0,1,1,100.0,no")));
        QVERIFY(lines[4].endsWith(QStringLiteral("2026-12,0,0,,0,0,,no")));

        // The report lists only the months to chase, and says where the rest are.
        const QString pdf = dir.filePath(QStringLiteral("report.pdf"));
        dialogs.saveAnswers.push_back(pdf);
        child<QAction>("actionExportPdf")->trigger();
        const QString text = caldrin::auditwindow::testing::pdfText(pdf);
        const qsizetype toChase =
            text.indexOf(QStringLiteral("Months with outcomes to chase: 2 of 4 months have under "
                                        "95% of the due outcomes known"));
        QVERIFY2(toChase >= 0, qPrintable(text.left(3000)));
        const QString section =
            text.mid(toChase, text.indexOf(QStringLiteral("CSV export"), toChase) - toChase);
        QVERIFY(section.contains(QStringLiteral("Aug 2026")));
        QVERIFY(section.contains(QStringLiteral("Oct 2026")));
        QVERIFY(!section.contains(QStringLiteral("Sep 2026")));
        QVERIFY(!section.contains(QStringLiteral("Dec 2026")));
    }

    void recordingAppendsOneRecordAfterTheSameLeadingFields() {
        openAndPick(QStringLiteral("Smith"));
        record(true, false);
        QCOMPARE(platform.messageTexts(), QStringList{QStringLiteral("Record added to ") + path});
        QCOMPARE(readAll(path), kFile + kLeadingA + ",1,0\r\n");
        // Read again: the episode has its outcome and leaves the list.
        waitForFigures();
        QTRY_COMPARE(child<QTableView>("outstandingTable")->model()->rowCount(), 2);
        QCOMPARE(rowOf("Smith"), -1);
        const AnalysisResult& result = window->shownLoad()->result;
        QCOMPARE(window->shownLoad()->data->mergedRecords(), 1u);
        for (const ModelResult& m : result.models)
            if (m.model == Model::PossumMorbidity) {
                QCOMPARE(m.overall.n, 3u);        // Smith, Brown and Known
                QCOMPARE(m.overall.observed, 1u); // Smith's complication
            }
        QCOMPARE(result.completeness->outcomes[0].overall.knownDue, 2u);
    }

    // Answers belong to the patient they were given for; the page and the
    // confirmation say who is picked and what their record holds, and a
    // recorded outcome is replaced only when the user ticks that it may be.
    void answersAreForOnePatientAndReplacingARecordedOutcomeIsConfirmed() {
        const QByteArray died = leading("Died,80,03/04/1960", "01/09/2026") + ",1,yes died\r\n";
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::Append));
            file.write(died);
        }
        openAndPick(QStringLiteral("Smith"));
        child<QRadioButton>("morbidityYes")->click();
        child<QRadioButton>("deathYes")->click();
        QVERIFY(child<QPushButton>("recordOutcomeButton")->isEnabled());
        pick(QStringLiteral("Died"));
        QCOMPARE(child<QTableView>("outstandingTable")->model()->index(rowOf("Died"), 7).data(),
                 QVariant(QStringLiteral("Yes / \u201cyes died\u201d")));
        for (const char* name : {"morbidityNo", "morbidityYes", "deathNo", "deathYes"})
            QVERIFY2(!child<QRadioButton>(name)->isChecked(), name);
        QVERIFY(!child<QPushButton>("recordOutcomeButton")->isEnabled());
        QCOMPARE(child<QLabel>("pickedEpisodes")->text(),
                 QStringLiteral("Picked: Died / 80 / 03/04/1960, operated 01/09/2026; recorded: "
                                "significant morbidity 1 (yes), died \u201cyes died\u201d"));

        // No and No would say the patient survived: the dialog says what
        // changes, and Record waits for the tick.
        child<QRadioButton>("morbidityNo")->click();
        child<QRadioButton>("deathNo")->click();
        QString replaced;
        bool recordWaited = false;
        platform.modalHandlers.push_back([&](QDialog& dialog) {
            replaced = dialog.findChild<QLabel*>("confirmReplacedText")->text();
            auto* record = dialog.findChild<QPushButton*>("confirmRecordButton");
            recordWaited = !record->isEnabled();
            dialog.reject();
        });
        child<QPushButton>("recordOutcomeButton")->click();
        QVERIFY(recordWaited);
        QVERIFY2(replaced.contains(QStringLiteral(
                     "Died / 80 / 03/04/1960: significant morbidity 1 (yes) becomes No; died "
                     "\u201cyes died\u201d becomes No")),
                 qPrintable(replaced));
        QCOMPARE(readAll(path), kFile + died);

        // Confirmed: one record more, and nothing else changed.
        platform.modalHandlers.push_back([](QDialog& dialog) {
            QVERIFY(dialog.findChild<QLabel*>("confirmText")->text().contains("Died / 80"));
            dialog.findChild<QCheckBox*>("confirmReplaceCheck")->click();
            dialog.findChild<QPushButton*>("confirmRecordButton")->click();
        });
        child<QPushButton>("recordOutcomeButton")->click();
        QVERIFY(platform.modalHandlers.empty());
        QCOMPARE(readAll(path),
                 kFile + died + leading("Died,80,03/04/1960", "01/09/2026") + ",0,0\r\n");
    }

    // After a record the files are read again with the date range kept; the
    // list cannot be recorded from until it is up to date.
    void recordingKeepsTheDateRangeAndWaitsForTheReading() {
        openAndPick(QStringLiteral("Smith"));
        auto* range = child<QCheckBox>("rangeCheck");
        range->click();
        auto* period = child<QComboBox>("periodPicker");
        period->setFocus();
        for (int tries = 0; period->currentText() != QStringLiteral("2026") && tries < 40; ++tries)
            QTest::keyClick(period, Qt::Key_Down);
        QTRY_VERIFY_WITH_TIMEOUT(!window->isBusy() && window->shownLoad()->options.from, 60000);
        const Date start = *window->shownLoad()->options.from;
        const Date end = *window->shownLoad()->options.to;
        pick(QStringLiteral("Smith"));
        record(true, false);
        QVERIFY(!child<QPushButton>("recordOutcomeButton")->isEnabled());
        QVERIFY(child<QLabel>("selectionNote")->text().contains("being read again"));
        waitForFigures();
        QCOMPARE(rowOf("Smith"), -1);
        QVERIFY(range->isChecked());
        QVERIFY(window->shownLoad()->options.from == start);
        QVERIFY(window->shownLoad()->options.to == end);
        QCOMPARE(period->currentText(), QStringLiteral("2026"));
        QVERIFY(child<QLabel>("outcomeListNote")->text().contains("11 Dec 2026"));

        // The list to chase, as the command line writes it.
        const QString csv = dir.filePath(QStringLiteral("chase.csv"));
        dialogs.saveAnswers.push_back(csv);
        child<QAction>("actionCsvOutstanding")->trigger();
        const QByteArray chase = readAll(csv);
        QVERIFY2(chase.contains("Brown"), chase.constData());
        QVERIFY(!chase.contains("Smith"));
    }

    void aFileAWriterHoldsIsRefusedAndKeptAsItWas() {
        openAndPick(QStringLiteral("Smith"));
        caldrin::testing::OtherCopyHoldingFile calculator(QFile::encodeName(path).toStdString());
        QVERIFY(calculator.holds());
        record(false, true);
        QCOMPARE(platform.messages.size(), std::size_t(1));
        QVERIFY(platform.messages[0].text.contains("open for writing in another program"));
        QCOMPARE(readAll(path), kFile);
    }

    void aFileThatCannotTakeTheRecordOrIsNoLongerTextIsKeptAsItWas() {
        // A file that can grow no further (the process's file-size limit,
        // which binds every user, root too).
        openAndPick(QStringLiteral("Smith"));
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit before{};
        ::getrlimit(RLIMIT_FSIZE, &before);
        const rlimit full{static_cast<rlim_t>(kFile.size()), before.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &full);
        record(false, false);
        ::setrlimit(RLIMIT_FSIZE, &before);
        QCOMPARE(platform.messageTexts(), QStringList{path + "\nFile write failure."});
        QCOMPARE(readAll(path), kFile);

        // Saved over by a program that writes UTF-16.
        platform.messages.clear();
        QByteArray utf16("\xFF\xFE", 2);
        for (const char c : kFile)
            utf16 += QByteArray(1, c) + QByteArray(1, '\0');
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(utf16);
        }
        pick(QStringLiteral("Smith"));
        record(false, false);
        QCOMPARE(platform.messages.size(), std::size_t(1));
        QVERIFY(platform.messages[0].text.contains("does not hold plain 8-bit text"));
        QCOMPARE(readAll(path), utf16);
    }
};

QTEST_MAIN(OutcomesPageTest)
#include "outcomes_test.moc"
