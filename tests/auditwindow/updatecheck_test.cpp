// SPDX-License-Identifier: GPL-3.0-or-later
// Model updates checked on later data in the audit window: added through
// File > Add an Update..., measured on exactly the episodes after their fit
// period within the range on screen, shown on their page, in the PDF report
// and in a CSV table with the command line's columns.
#include "audit/auditreport.h"
#include "audit/updatevalidation.h"
#include "auditlines.h"
#include "auditwindow/auditwindow.h"
#include "auditwindow/datefield.h"
#include "auditwindow/figures.h"
#include "auditwindowtesting.h"
#include "fakeplatform.h"
#include "modelupdate/modelupdate.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <fstream>
#include <memory>

using namespace caldrin;
using namespace caldrin::audit;
using namespace caldrin::auditwindow;
namespace windowtesting = caldrin::auditwindow::testing;
using caldrin::testing::FakePlatform;

namespace {

// Ward 7's update of P-POSSUM, fitted on the first half of 2024.
modelupdate::ModelUpdate firstHalfUpdate() {
    modelupdate::ModelUpdate u;
    u.model = riskmodels::ModelId::PPossum1996Mortality;
    u.method = modelupdate::Method::RecalibrationInTheLarge;
    u.coefficients = {-0.5};
    u.covariance = {{0.04}};
    u.episodes = 5;
    u.events = 1;
    u.from = {2024, 1, 1};
    u.to = {2024, 6, 30};
    u.unit = "Ward 7";
    u.created = "2024-07-02T10:00:00Z";
    u.programVersion = "3.0";
    u.inputFiles = {{"first half.csv", 1000, 5}};
    return u;
}

// Episodes before the fit period (3), within it (5), without a readable
// date (2), and 40 after it, from July to December 2024 (21 of them up to
// the end of September); one more after it has no known outcome.
std::string auditText() {
    using namespace caldrin::audit::testing;
    std::string text = kHeader;
    int id = 0;
    auto add = [&](const std::string& date, const char* risk, const char* died) {
        Row row;
        row.id = std::to_string(++id);
        row.date = date;
        row.risks[2] = risk;
        row.mortality = died;
        text += line(row);
    };
    for (const char* date : {"01/12/2023", "15/12/2023", "31/12/2023"})
        add(date, "0.0500", "0");
    for (const char* date : {"01/01/2024", "02/02/2024", "03/03/2024", "04/04/2024", "30/06/2024"})
        add(date, "0.0500", "1");
    add("31/02/2024", "0.0500", "1");
    add("30/02/2024", "0.0500", "0");
    for (int i = 0; i < 40; ++i) {
        const bool high = i % 2 == 1;
        const bool died = high ? i % 3 == 0 : i % 10 == 0;
        char date[11];
        std::snprintf(date, sizeof date, "%02d/%02d/2024", 1 + i % 7 * 4, 7 + i / 7);
        add(date, high ? "0.3000" : "0.0500", died ? "1" : "0");
    }
    add("05/07/2024", "0.0500", "");
    return text;
}

QString writeFile(const QString& path, const std::string& bytes) {
    std::ofstream(QFile::encodeName(path).toStdString(), std::ios::binary) << bytes;
    return path;
}

} // namespace

class UpdateCheckTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    FakePlatform platform;
    windowtesting::FakeAuditDialogs dialogs;
    std::unique_ptr<AuditWindow> window;
    QString auditFile;
    QString firstHalf; // the update above
    QString wholeYear; // fitted up to the last episode: nothing after it
    QString broken;

    template <typename T> T* child(const char* name) { return window->findChild<T*>(name); }

    void startWindow() {
        window = std::make_unique<AuditWindow>(platform, dialogs, windowtesting::testSettings());
        window->show();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
    }

    // The analysis of the updates in force, complete.
    void waitForChecks() {
        QTRY_VERIFY_WITH_TIMEOUT(
            !window->isBusy() && window->shownLoad() && window->shownLoad()->complete &&
                window->shownLoad()->addedUpdates.get() == &window->addedUpdates(),
            120000);
    }

    void openWithKeyboard() {
        dialogs.openAnswers.push_back({auditFile});
        QTest::keyClick(window.get(), Qt::Key_O, Qt::ControlModifier);
    }

    void addUpdates(const QStringList& paths) {
        dialogs.updateAnswers.push_back(paths);
        child<QAction>("actionAddUpdate")->trigger();
    }

    // The engine's check of `path` on the fixture, read as the window reads it.
    UpdateValidation engineCheck(const QString& path, std::optional<Date> from,
                                 std::optional<Date> to) const {
        AuditReader reader(windowtesting::testSettings().read);
        reader.addFile(QFile::encodeName(auditFile).toStdString());
        const AuditData data = reader.finish();
        AnalysisOptions options;
        options.from = from;
        options.to = to;
        const std::string name = QFile::encodeName(path).toStdString();
        return validateUpdate(data, name, modelupdate::readUpdateFile(name), options);
    }

    QStringList row(int r) {
        const QAbstractItemModel* model = child<QTableView>("updateTable")->model();
        QStringList cells;
        for (int c = 0; c < model->columnCount(); ++c)
            cells << model->index(r, c).data().toString();
        return cells;
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(dir.isValid());
        QCoreApplication::setOrganizationName(QStringLiteral("CaldrinTest"));
        QCoreApplication::setApplicationName(QStringLiteral("UpdateCheckTest"));
        auditFile = writeFile(dir.filePath("ward 7.csv"), auditText());
        const modelupdate::WrittenUpdate document = modelupdate::updateDocument(firstHalfUpdate());
        QVERIFY(document.problem.empty());
        firstHalf = writeFile(dir.filePath("first-half.json"), document.text);
        modelupdate::ModelUpdate year = firstHalfUpdate();
        year.method = modelupdate::Method::LogisticRecalibration;
        year.coefficients = {-0.5, 0.9};
        year.covariance = {{0.04, 0.0}, {0.0, 0.01}};
        year.to = {2024, 12, 31};
        year.unit = "Ward 8";
        wholeYear =
            writeFile(dir.filePath("whole-year.json"), modelupdate::updateDocument(year).text);
        broken = writeFile(dir.filePath("broken.json"),
                           document.text.substr(0, document.text.size() / 2));
    }

    void cleanup() {
        window.reset();
        platform.messages.clear();
    }

    // Exactly the episodes after the fit period are measured, the rest
    // counted by why they were left out; then a range typed and a CSV and
    // PDF export asked for at once give the figures of the range on screen.
    void checksExactlyTheEpisodesAfterTheFitPeriodOfTheRangeOnScreen() {
        startWindow();
        openWithKeyboard();
        waitForChecks();
        addUpdates({firstHalf});
        waitForChecks();
        QVERIFY(platform.messages.empty());
        QCOMPARE(child<QAction>("actionRemoveUpdates")->isEnabled(), true);

        const AuditLoad& load = *window->shownLoad();
        QCOMPARE(load.updates.size(), 1u);
        const UpdateValidation& shown = load.updates[0];
        QCOMPARE(shown.beforeFitPeriod, 3u);
        QCOMPARE(shown.usedToFit, 5u);
        QCOMPARE(shown.undated, 2u);
        QCOMPARE(shown.outsideDateRange, 0u);
        QCOMPARE(shown.overall.n, 40u);
        const UpdateValidation engine = engineCheck(firstHalf, load.options.from, load.options.to);
        QCOMPARE(shown.overall.observed, engine.overall.observed);
        QCOMPARE(shown.overall.expected, engine.overall.expected);

        // The page: a row of figures as the window writes numbers, and the
        // episodes left out in words.
        auto* pages = child<QTabWidget>("pages");
        pages->setCurrentWidget(child<QWidget>("updatesPage"));
        const NumberFormat format;
        const QStringList cells = row(0);
        const Calibration& cal = engine.calibration;
        QVERIFY(cal.inTheLarge && cal.slope);
        const QStringList expected = {
            QStringLiteral("P-POSSUM mortality,\nupdated on Ward 7,\n1 Jan 2024 to 30 Jun "
                           "2024\n(recalibration-in-the-large)"),
            QStringLiteral("40"),
            format.count(engine.overall.observed),
            format.number(engine.overall.expected, 1),
            format.withInterval(*engine.overall.ratio, engine.overall.interval, 2),
            format.withInterval(*engine.discrimination.auroc, engine.discrimination.interval, 3),
            format.withInterval(*cal.inTheLarge, cal.inTheLargeInterval, 2),
            format.withInterval(*cal.slope, cal.slopeInterval, 2),
            format.number(*engine.brier, 4)};
        QCOMPARE(cells, expected);
        for (const QString& cell : cells.mid(1))
            QVERIFY2(!cell.contains(QLatin1Char('-')), qPrintable(cell)); // a true minus sign
        const QString notes = child<QLabel>("updateNotes")->text();
        QVERIFY2(notes.contains("Left out: 5 episodes used to fit it (dated within its fit "
                                "period), 3 dated before it, 2 without a readable date."),
                 qPrintable(notes));
        QVERIFY(notes.contains("Fewer than 100 episodes with, or without, the outcome"));
        QVERIFY(notes.contains(QFileInfo(firstHalf).fileName()));

        // The third quarter typed, the end still in its field, and the CSV
        // asked for at once: it waits for that range's analysis.
        auto* range = child<QCheckBox>("rangeCheck");
        if (!range->isChecked()) {
            range->setFocus();
            QTest::keyClick(range, Qt::Key_Space);
        }
        QLineEdit* from = child<DateField>("fromDate")->lineEdit();
        from->setFocus();
        from->selectAll();
        QTest::keyClicks(from, QStringLiteral("1 Jul 2024"));
        QTest::keyClick(from, Qt::Key_Return);
        QLineEdit* to = child<DateField>("toDate")->lineEdit();
        to->setFocus();
        to->selectAll();
        QTest::keyClicks(to, QStringLiteral("30 Sep 2024"));
        const QString csv = dir.filePath("checked.csv");
        dialogs.saveAnswers.push_back(csv);
        child<QAction>("actionCsvUpdates")->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(csv), 60000);
        const UpdateValidation quarter =
            engineCheck(firstHalf, Date{2024, 7, 1}, Date{2024, 9, 30});
        QCOMPARE(quarter.overall.n, 21u);
        QCOMPARE(quarter.outsideDateRange, 19u);
        QFile file(csv);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray::fromStdString(updateCsvTable({quarter})));
        QVERIFY(dialogs.saveRequests.back().suggestedPath.endsWith("updated-models-checked.csv"));
        QCOMPARE(row(0)[1], QStringLiteral("21"));

        const QString pdf = dir.filePath("report.pdf");
        dialogs.saveAnswers.push_back(pdf);
        QTest::keyClick(window.get(), Qt::Key_E, Qt::ControlModifier);
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(pdf), 60000);
        const QString text = windowtesting::pdfText(pdf).simplified();
        for (const QString& words :
             {QStringLiteral("Updated models, checked on the episodes after their fit period"),
              QStringLiteral("P-POSSUM mortality, updated on Ward 7, 1 Jan 2024 to 30 Jun 2024"),
              QStringLiteral("Left out: 5 episodes used to fit it (dated within its fit period), "
                             "3 dated before it, 2 without a readable date, 19 after it but "
                             "outside the date range."),
              format.withInterval(*quarter.overall.ratio, quarter.overall.interval, 2)})
            QVERIFY2(text.contains(words), qPrintable(words));
        QVERIFY(platform.messages.empty());
    }

    // A refused file is named with its reason and not added; an update with
    // no episode after its period says so; the updates stay across a
    // re-read (even one under way as they change) until removed.
    void refusedNothingYetAndKeptUntilRemoved() {
        startWindow();
        openWithKeyboard();
        waitForChecks();
        addUpdates({broken, wholeYear, firstHalf});
        waitForChecks();
        QCOMPARE(platform.messages.size(), 1u);
        const QString message = platform.messages[0].text;
        QVERIFY2(message.startsWith("This update file was not added:\n" + broken + ": "),
                 qPrintable(message));
        QVERIFY2(message.contains("ends before its document does"), qPrintable(message));
        QCOMPARE(window->addedUpdates().size(), 2u);

        QCOMPARE(row(0)[0], QStringLiteral("P-POSSUM mortality,\nupdated on Ward 8,\n1 Jan 2024 to "
                                           "31 Dec 2024\n(logistic recalibration)"));
        QCOMPARE(row(0)[1], QStringLiteral("0"));
        for (int c : {3, 4, 5, 6, 7, 8})
            QCOMPARE(row(0)[c], QStringLiteral("n/a"));
        const QString notes = child<QLabel>("updateNotes")->text();
        QVERIFY2(notes.contains("No episode after the fit period: nothing to check it on yet."),
                 qPrintable(notes));

        // Added again: read again in its place, not twice.
        addUpdates({firstHalf});
        waitForChecks();
        QCOMPARE(window->shownLoad()->updates.size(), 2u);

        // Read again, and an update removed while the reading runs: the
        // figures that arrive are of the list in force.
        openWithKeyboard();
        QVERIFY(window->isBusy());
        child<QAction>("actionRemoveUpdates")->trigger();
        QVERIFY(!child<QAction>("actionRemoveUpdates")->isEnabled());
        waitForChecks();
        QVERIFY(window->shownLoad()->updates.empty());
        QVERIFY(child<QLabel>("noUpdatesLabel")->isVisibleTo(child<QWidget>("updatesPage")));
        QVERIFY(!child<QTableView>("updateTable")->isVisibleTo(child<QWidget>("updatesPage")));

        addUpdates({firstHalf});
        waitForChecks();
        openWithKeyboard();
        waitForChecks();
        QCOMPARE(window->shownLoad()->updates.size(), 1u);
        QCOMPARE(window->shownLoad()->updates[0].usedToFit, 5u);
    }
};

QTEST_MAIN(UpdateCheckTest)
#include "updatecheck_test.moc"
