#include "app/program.h"
#include "app/tform1.h"
#include "fakeplatform.h"

#include <QAccessible>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <memory>

using namespace caldrin;
using caldrin::testing::FakePlatform;

class MainWindowTest : public QObject {
    Q_OBJECT

    FakePlatform platform;
    std::unique_ptr<Program> program;

    TForm1& window() { return program->mainWindow(); }
    QLineEdit* box(const char* name) { return window().findChild<QLineEdit*>(name); }
    QPushButton* button(const char* name) { return window().findChild<QPushButton*>(name); }

    void start(const QStringList& arguments) {
        platform = FakePlatform();
        program = std::make_unique<Program>(platform, arguments);
        program->showMainWindow();
        QVERIFY(QTest::qWaitForWindowExposed(&window()));
    }

    void typeScores(const QString& ps, const QString& os) {
        box("Edit1")->clear();
        box("Edit2")->clear();
        QTest::keyClicks(box("Edit1"), ps);
        QTest::keyClicks(box("Edit2"), os);
    }

    QStringList riskTexts() {
        QStringList texts;
        for (const char* name : {"Edit5", "Edit3", "Edit4", "Edit6", "Edit7"})
            texts << box(name)->text();
        return texts;
    }

private Q_SLOTS:
    void cleanup() { program.reset(); }

    void startsWithCommandsDisabledAndFocusOnPhysiologicalButton() {
        start({});
        QCOMPARE(window().windowTitle(), QStringLiteral("Caldrin Calculator"));
        QVERIFY(!button("Button1")->isEnabled());
        QVERIFY(!button("Button4")->isEnabled());
        QVERIFY(!button("Addtofilebutton")->isEnabled());
        QVERIFY(button("Button2")->hasFocus());
        QVERIFY(box("Edit1")->isReadOnly());
        QVERIFY(box("Edit2")->isReadOnly());
        QVERIFY(!box("Edit6")->isReadOnly());
        QCOMPARE(window().findChild<QLabel*>("Label6")->text(),
                 QStringLiteral("Caldrin Calculator v3"));
    }

    void directEntryFollowsTheFirstArgument_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("direct");
        QTest::newRow("none") << QStringList{} << false;
        QTest::newRow("upper") << QStringList{"/TEST"} << true;
        QTest::newRow("lower") << QStringList{"/test"} << true;
        QTest::newRow("mixed") << QStringList{"/Test", "extra"} << true;
        QTest::newRow("dash") << QStringList{"-TEST"} << false;
        QTest::newRow("suffix") << QStringList{"/TEST1"} << false;
        QTest::newRow("second") << QStringList{"x", "/TEST"} << false;
    }
    void directEntryFollowsTheFirstArgument() {
        QFETCH(QStringList, arguments);
        QFETCH(bool, direct);
        start(arguments);
        QCOMPARE(window().directEntry(), direct);
        QCOMPARE(box("Edit1")->isReadOnly(), !direct);
        QCOMPARE(box("Edit2")->isReadOnly(), !direct);
    }

    void tabVisitsTheCommandsInOrder() {
        start({});
        const QStringList expected{"Button3", "Button1", "Button4", "Addtofilebutton",
                                   "BitBtn1", "Edit6",   "Edit7",   "TestMD5Button",
                                   "BitBtn3", "Button2"};
        // Disabled commands are passed over by Tab; enable them to see the whole chain.
        for (const char* name : {"Button1", "Button4", "Addtofilebutton"})
            button(name)->setEnabled(true);
        QStringList visited;
        for (int i = 0; i < expected.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited << QApplication::focusWidget()->objectName();
        }
        QCOMPARE(visited, expected);
    }

    void labelsNameTheirBoxesForAssistiveTools() {
        start({});
        const QList<QPair<const char*, QString>> expected{
            {"Edit1", "Physiological score:"},
            {"Edit2", "Operative severity score:"},
            {"Edit5", "POSSUM morbidity score"},
            {"Edit3", "POSSUM mortalilty score"},
            {"Edit4", "P-POSSUM mortalitity score"},
            {"Edit6", "V - POSSUM mortality score"},
            {"Edit7", "V - POSSUM physiological mortality score"}};
        for (const auto& [name, label] : expected) {
            QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(box(name));
            QVERIFY(iface);
            QCOMPARE(iface->text(QAccessible::Name), label);
        }
    }

    void typedScoresEnableCalculateOnlyWhenBothAreEntered() {
        start({"/TEST"});
        QTest::keyClicks(box("Edit1"), "34");
        QVERIFY(!button("Button1")->isEnabled());
        QCOMPARE(window().assessment().physiologicalScore, 34);
        QCOMPARE(window().assessment().operativeScore, 0);
        QTest::keyClicks(box("Edit2"), "10");
        QVERIFY(button("Button1")->isEnabled());
        QCOMPARE(window().assessment().operativeScore, 10);
    }

    void calculateShowsTheRisksOfTheTypedScores_data() {
        QTest::addColumn<QString>("ps");
        QTest::addColumn<QString>("os");
        QTest::addColumn<QStringList>("risks"); // boxes from the top: kinds 1, 0, 2, 3, 4
        QTest::newRow("12/6") << "12"
                              << "6"
                              << QStringList{"  5.47%", "  1.08%", "  0.20%", "  3.53%", " 16.86%"};
        QTest::newRow("leading space, plus, hex")
            << " 30"
            << "$F" << QStringList{" 85.07%", " 32.30%", " 19.47%", " 30.93%", " 53.67%"};
        QTest::newRow("88/48") << "+88"
                               << "48"
                               << QStringList{"100.00%", "100.00%", "100.00%", " 99.95%",
                                              " 99.69%"};
        QTest::newRow("1/1") << "1"
                             << "1"
                             << QStringList{riskTextFor(1), riskTextFor(0), "  0.01%",
                                            riskTextFor(3), "  6.54%"};
    }
    static QString riskTextFor(int kind) {
        return QString::fromStdString(FormatRiskPercent(ComputeRisk(RiskKind(kind), 1, 1)));
    }
    void calculateShowsTheRisksOfTheTypedScores() {
        QFETCH(QString, ps);
        QFETCH(QString, os);
        QFETCH(QStringList, risks);
        start({"/TEST"});
        typeScores(ps, os);
        QTest::mouseClick(button("Button1"), Qt::LeftButton);
        QCOMPARE(riskTexts(), risks);
        QVERIFY(button("Button4")->isEnabled());
        QVERIFY(button("Addtofilebutton")->isEnabled());
        QVERIFY(platform.messages.empty());
    }

    void calculateUsesTheUsersDecimalSeparator() {
        start({"/TEST"});
        platform.regional.decimalSeparator = QLatin1Char(',');
        typeScores("30", "15");
        QTest::mouseClick(button("Button1"), Qt::LeftButton);
        QCOMPARE(box("Edit3")->text(), QStringLiteral(" 32,30%"));
    }

    void textsThatAreNotScoresAreNotStored_data() {
        QTest::addColumn<QString>("ps");
        QTest::newRow("trailing space") << "34 ";
        QTest::newRow("inner space") << "3 4";
        QTest::newRow("decimal") << "34.0";
        QTest::newRow("out of range") << "300";
        QTest::newRow("wraps to zero") << "256";
        QTest::newRow("negative") << "-1";
    }
    void textsThatAreNotScoresAreNotStored() {
        QFETCH(QString, ps);
        start({"/TEST"});
        typeScores(ps, "10");
        QCOMPARE(window().assessment().physiologicalScore, 0);
        QVERIFY(!button("Button1")->isEnabled());
    }

    void spoilingAScoreAfterEnablingCalculateGivesTheDataError() {
        start({"/TEST"});
        typeScores("30", "15");
        QTest::mouseClick(button("Button1"), Qt::LeftButton);
        QVERIFY(button("Button4")->isEnabled());
        const QStringList shownRisks = riskTexts();
        const auto storedRisks = window().assessment().risks;

        QTest::keyClick(box("Edit1"), Qt::Key_Space); // "30 " is no longer a score
        QCOMPARE(window().assessment().physiologicalScore, 0);
        QVERIFY(button("Button1")->isEnabled());
        QTest::mouseClick(button("Button1"), Qt::LeftButton);

        QCOMPARE(platform.messageTexts(),
                 QStringList{"Data error.\nEnter correct data for scores above."});
        QVERIFY(!button("Button4")->isEnabled());
        QVERIFY(button("Addtofilebutton")->isEnabled());
        QCOMPARE(riskTexts(), shownRisks);
        QCOMPARE(window().assessment().risks, storedRisks);
    }

    void zeroScoreNeverEnablesCalculate() {
        start({"/TEST"});
        typeScores("0", "10");
        QVERIFY(!button("Button1")->isEnabled());
    }

    void aChangedScoreClearsTheRisksButKeepsTheStoredFractions() {
        start({"/TEST"});
        typeScores("30", "15");
        QTest::mouseClick(button("Button1"), Qt::LeftButton);
        const auto storedRisks = window().assessment().risks;
        QTest::keyClick(box("Edit2"), Qt::Key_6); // 156
        QCOMPARE(riskTexts(), QStringList(5, QString()));
        QCOMPARE(window().assessment().risks, storedRisks);
        QCOMPARE(window().assessment().operativeScore, 156);
    }

    void exitAndTheCloseControlEndTheProgramAlike() {
        start({});
        QSignalSpy closedSpy(&window(), &TForm1::closed);
        QTest::mouseClick(button("BitBtn1"), Qt::LeftButton);
        QCOMPARE(closedSpy.count(), 1);
        QVERIFY(!window().isVisible());
        QVERIFY(platform.messages.empty());
    }
};

QTEST_MAIN(MainWindowTest)
#include "mainwindow_test.moc"
