// SPDX-License-Identifier: GPL-3.0-or-later
#include "patientview/patientview.h"

#include "app/mainwindow.h"
#include "app/program.h"
#include "fakeplatform.h"

#include <QAccessible>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace caldrin;
using caldrin::testing::FakePlatform;

namespace {

// The text of a PDF as pdftotext reads it, every run of white space made one
// space, so that sentences wrapped on the page are found whole.
QString pdfText(const QString& pdf, int* pages = nullptr) {
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (tool.isEmpty()) {
        QTest::qFail("pdftotext (poppler-utils) is needed to read the sheet", __FILE__, __LINE__);
        return {};
    }
    QProcess process;
    process.start(tool, {pdf, QStringLiteral("-")});
    if (!process.waitForFinished() || process.exitCode() != 0)
        return {};
    const QString text = QString::fromUtf8(process.readAllStandardOutput());
    if (pages)
        *pages = int(text.count(QLatin1Char('\f')));
    return text.simplified();
}

QString accessibleName(QWidget* widget) {
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(widget);
    return iface ? iface->text(QAccessible::Name) : QString();
}

} // namespace

class PatientViewTest : public QObject {
    Q_OBJECT

    FakePlatform platform;
    std::unique_ptr<Program> program;
    QTemporaryDir folder;
    QTemporaryDir config;

    MainWindow& main() { return program->mainWindow(); }
    template <typename T = QWidget> T* in(QWidget& window, const char* name) {
        return window.findChild<T*>(QString::fromLatin1(name));
    }

    // Started with typed scores, calculated, the focus on the main window.
    void calculate(const QString& ps, const QString& os) {
        platform = FakePlatform();
        program = std::make_unique<Program>(platform, QStringList{QStringLiteral("/TEST")});
        program->showMainWindow();
        QVERIFY(QTest::qWaitForWindowActive(&main()));
        QTest::keyClicks(in(main(), "Edit1"), ps);
        QTest::keyClicks(in(main(), "Edit2"), os);
        QTest::mouseClick(in(main(), "Button1"), Qt::LeftButton);
        QCOMPARE(in<QLineEdit>(main(), "Edit4")->text(), QStringLiteral(" 19.47%"));
    }

    // Alt+V, as a user would press it; a button's mnemonic clicks it a
    // moment later, as the button is drawn pressed.
    PatientView* openedByKeyboard() {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_V, Qt::AltModifier);
        PatientView* view = nullptr;
        (void)QTest::qWaitFor([&] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (w->objectName() == QLatin1String("PatientView") && w->isVisible())
                    view = qobject_cast<PatientView*>(w);
            return view != nullptr;
        });
        return view;
    }

private Q_SLOTS:
    // A configuration folder of the test's own: an update of the unit's
    // figure in the user's folder would be the view's first model.
    void initTestCase() {
        QVERIFY(config.isValid());
        qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    }
    void cleanup() { program.reset(); }

    // Alt+V opens the view over the calculation; the picture's text
    // equivalent is the sentence; Alt+P prints one page whose text carries
    // the sentence and the model's source.
    void opensByKeyboardReadsAloudAndPrints() {
        calculate(QStringLiteral("30"), QStringLiteral("15"));
        PatientView* view = openedByKeyboard();
        QVERIFY(view);
        QVERIFY(QTest::qWaitForWindowActive(view));
        QCOMPARE(QApplication::focusWidget(), in(*view, "ModelSelector"));

        // P-POSSUM at PS 30, OS 15: 19.47%, deaths in hospital.
        const QString sentence =
            QStringLiteral("Out of 100 people with the same findings having this operation, "
                           "about 19 die in hospital after the operation and about 81 do not.");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), in(*view, "RiskPicture"));
        QCOMPARE(accessibleName(QApplication::focusWidget()), sentence);
        QCOMPARE(in<QLabel>(*view, "RiskSentence")->text(), sentence);
        QVERIFY(in<QLabel>(*view, "DriversList")
                    ->text()
                    .contains(QStringLiteral("not graded factor by factor")));

        QTest::keyClicks(in(*view, "PatientName"), QStringLiteral("Ann Example"));
        const QString pdf = folder.filePath(QStringLiteral("sheet.pdf"));
        platform.printAnswers.push_back(pdf);
        QTest::keyClick(view, Qt::Key_P, Qt::AltModifier);
        QTRY_VERIFY(platform.printAnswers.empty());
        int pages = 0;
        const QString printed = pdfText(pdf, &pages);
        QCOMPARE(pages, 1);
        QVERIFY2(printed.contains(sentence), qPrintable(printed));
        for (const char* expected :
             {"Whiteley MS, Prytherch DR, Higgins B, Weaver PC, Prout WG. An evaluation of the "
              "POSSUM surgical scoring system. Br J Surg 1996;83:812-815",
              "doi:10.1002/bjs.1800830628", "Ann Example", "15 June 2026", "Clinician's name:",
              "about 85 have a complication within 30 days", "estimates for groups of patients"})
            QVERIFY2(printed.contains(QLatin1String(expected)), expected);
        QVERIFY(platform.messages.empty());

        // F1 opens the help at the view's own topic, which the help file has.
        QTest::keyClick(view, Qt::Key_F1);
        QTRY_VERIFY(!platform.helpCalls.empty());
        QCOMPARE(platform.helpCalls.back().command, QStringLiteral("JumpID(\"\",\"patientview\")"));
        QFile help(QStringLiteral(CALDRIN_HELP_FILE));
        QVERIFY(help.open(QIODevice::ReadOnly));
        QVERIFY(help.readAll().contains("<h2 id=\"patientview\">"));
    }

    // Choosing a model made for other patients says so beside the picture,
    // and the picture and sentence follow the model.
    void aModelForOtherPatientsSaysSo() {
        calculate(QStringLiteral("30"), QStringLiteral("15"));
        PatientView* view = openedByKeyboard();
        QVERIFY(view);
        auto* selector = in<QComboBox>(*view, "ModelSelector");
        QCOMPARE(selector->count(), 8);
        QVERIFY(!in<QLabel>(*view, "PopulationNote")->text().contains(QStringLiteral("not fit")));
        const int raaa =
            selector->findText(QStringLiteral("RAAA-POSSUM mortality:"), Qt::MatchStartsWith);
        QVERIFY(raaa >= 0);
        while (selector->currentIndex() != raaa)
            QTest::keyClick(selector, selector->currentIndex() < raaa ? Qt::Key_Down : Qt::Key_Up);
        QVERIFY(in<QLabel>(*view, "PopulationNote")
                    ->text()
                    .contains(QStringLiteral("ruptured abdominal aortic aneurysm")));
        QVERIFY(in<QLabel>(*view, "PopulationNote")
                    ->text()
                    .contains(QStringLiteral("It does not fit other operations.")));
        // 30.93% within 30 days.
        QCOMPARE(accessibleName(in(*view, "RiskPicture")),
                 QStringLiteral("Out of 100 people with the same findings having this operation, "
                                "about 31 die within 30 days and about 69 do not."));
    }

    // The view shows one calculation: a changed score closes it and the
    // button waits for the next Calculate.
    void aChangedScoreClosesTheView() {
        calculate(QStringLiteral("30"), QStringLiteral("15"));
        PatientView* view = openedByKeyboard();
        QVERIFY(view && view->isVisible());
        QTest::keyClick(in(main(), "Edit2"), Qt::Key_1); // 151
        QVERIFY(!view->isVisible());
        QVERIFY(!in(main(), "PatientViewButton")->isEnabled());
        QTest::keyClick(in(main(), "Edit2"), Qt::Key_Backspace); // 15 again
        QTest::mouseClick(in(main(), "Button1"), Qt::LeftButton);
        QVERIFY(in(main(), "PatientViewButton")->isEnabled());
    }

    // Graded factor by factor, the view names what adds most and the
    // what-ifs from the equation (P-POSSUM at 30/15, see the core's tests):
    // blood pressure one grade lower gives about 10 in 100.
    void gradedFactorsNameTheDrivers() {
        ScoredEpisode episode;
        episode.factorPoints.fill(1);
        episode.factorPoints[indexOf(Factor::Age)] = 4;
        episode.factorPoints[indexOf(Factor::Respiratory)] = 2;
        episode.factorPoints[indexOf(Factor::SystolicBP)] = 8;
        episode.factorPoints[indexOf(Factor::Pulse)] = 4;
        episode.factorPoints[indexOf(Factor::Haemoglobin)] = 2;
        episode.factorPoints[indexOf(Factor::Urea)] = 4;
        for (Factor f : {Factor::OperativeSeverity, Factor::ModeOfSurgery})
            episode.factorPoints[indexOf(f)] = 4;
        for (Factor f :
             {Factor::TotalBloodLoss, Factor::PeritonealSoiling, Factor::MalignancyPresent})
            episode.factorPoints[indexOf(f)] = 2;
        episode.physiologicalScore = 30;
        episode.operativeScore = 15;
        FakePlatform alone;
        PatientView view(alone);
        view.showFor(episode);
        const PatientSheet sheet = view.sheet();
        QCOMPARE(sheet.drivers,
                 (QStringList{"Very low blood pressure. If the blood pressure had been less low "
                              "(90 to 99): about 10 in 100 die in hospital after the operation.",
                              "Age 71 or over (this cannot change).",
                              "Fast pulse. If the pulse had been only a little fast or slow: about "
                              "14 in 100 die in hospital after the operation."}));
    }
};

QTEST_MAIN(PatientViewTest)
#include "patientview_test.moc"
