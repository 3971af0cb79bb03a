// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/mainwindow.h"
#include "app/program.h"
#include "entry/operativedialog.h"
#include "entry/physiologicalpages.h"
#include "episode/episodemodel.h"
#include "fakeplatform.h"
#include "mnemonics.h"
#include "patientview/patientview.h"
#include "records/patientdetailsdialog.h"
#include "records/selftestwindow.h"
#include "report/reportwindow.h"

#include <QAccessible>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QScreen>
#include <QSignalSpy>
#include <QStyleOption>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace caldrin;
using caldrin::testing::FakePlatform;

class MainWindowTest : public QObject {
    Q_OBJECT

    QTemporaryDir config;
    FakePlatform platform;
    std::unique_ptr<Program> program;

    MainWindow& window() { return program->mainWindow(); }
    QLineEdit* box(const char* name) { return window().findChild<QLineEdit*>(name); }
    QPushButton* button(const char* name) { return window().findChild<QPushButton*>(name); }

    void start(const QStringList& arguments) {
        platform = FakePlatform();
        program = std::make_unique<Program>(platform, arguments);
        program->showMainWindow();
        QVERIFY(QTest::qWaitForWindowExposed(&window()));
        // The whole window: the unit's figure is added after the first showing.
        QTRY_VERIFY(window().unitUpdatePanel());
    }

    void typeScores(const QString& ps, const QString& os) {
        box("Edit1")->clear();
        box("Edit2")->clear();
        QTest::keyClicks(box("Edit1"), ps);
        QTest::keyClicks(box("Edit2"), os);
    }

    QWidget* openedWindow(const QString& name) {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == name)
                return w;
        return nullptr;
    }

    // The focused control is drawn with its focus frame.
    static bool focusIsVisible() {
        QWidget* focus = QApplication::focusWidget();
        if (!focus)
            return false;
        QStyleOption option;
        option.initFrom(focus);
        return option.state.testFlag(QStyle::State_HasFocus) &&
               option.state.testFlag(QStyle::State_KeyboardFocusChange);
    }

    // A 1280x800 screen, less a panel and a title bar.
    static bool fitsSmallScreen(const QWidget& w) {
        return w.frameGeometry().width() <= 1280 && w.frameGeometry().height() <= 800 - 60;
    }

    QStringList riskTexts() {
        QStringList texts;
        for (const char* name : {"Edit5", "Edit3", "Edit4", "Edit6", "Edit7"})
            texts << box(name)->text();
        return texts;
    }
    // The published equations shown beside the described risks.
    static constexpr const char* kOtherRiskBoxes[] = {"v_possum_2001_mortality",
                                                      "v_possum_2001_physiological_mortality",
                                                      "p_possum_1998_mortality"};
    QStringList otherRiskTexts() {
        QStringList texts;
        for (const char* name : kOtherRiskBoxes)
            texts << box(name)->text();
        return texts;
    }

    // The width a line edit gives its text: inside the frame, the text
    // margins and the 2 px Qt keeps on each side.
    static int textWidthOf(const QLineEdit& edit) {
        QStyleOptionFrame option;
        option.initFrom(&edit);
        option.lineWidth = edit.hasFrame() ? edit.style()->pixelMetric(QStyle::PM_DefaultFrameWidth,
                                                                       &option, &edit)
                                           : 0;
        const QRect contents =
            edit.style()->subElementRect(QStyle::SE_LineEditContents, &option, &edit);
        return contents.marginsRemoved(edit.textMargins()).width() - 2 * 2;
    }

private Q_SLOTS:
    // A configuration folder of the test's own: an update of the unit's
    // figure in the user's folder would change what the window shows.
    void initTestCase() {
        QVERIFY(config.isValid());
        qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    }
    void cleanup() { program.reset(); }

    // Each window of the calculator: every access key in view belongs to one
    // control.
    void everyAccessKeyInViewIsOneControls() {
        start({});
        QStringList clashes;
        for (QWidget* w : std::initializer_list<QWidget*>{
                 &window(), &program->physiologicalPage1(), &program->physiologicalPage2(),
                 &program->operativeDialog(), &program->reportWindow(), &program->selfTestWindow(),
                 &program->detailsDialog(), &program->patientView()})
            for (const QString& clash : caldrin::testing::mnemonicClashes(w))
                clashes << w->objectName() + QStringLiteral(": ") + clash;
        QVERIFY2(clashes.isEmpty(), qPrintable(clashes.join(QLatin1Char('\n'))));
    }

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
        QCOMPARE(program->episode().directEntry(), direct);
        QCOMPARE(box("Edit1")->isReadOnly(), !direct);
        QCOMPARE(box("Edit2")->isReadOnly(), !direct);
    }

    void tabVisitsTheCommandsInOrder() {
        start({});
        const QStringList expected{"Button3", "Button1", "Button4", "Addtofilebutton", "BitBtn1",
                                   "Edit6", "Edit7", "TestMD5Button", "BitBtn3", kOtherRiskBoxes[0],
                                   kOtherRiskBoxes[1], kOtherRiskBoxes[2], "PatientViewButton",
                                   // the unit's figure, read after the first showing
                                   "OpenUnitUpdate", "Button2"};
        // Disabled commands are passed over by Tab; enable them to see the whole chain.
        for (const char* name : {"Button1", "Button4", "Addtofilebutton", "PatientViewButton"})
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
            {"Edit6", "RAAA-POSSUM mortality score"},
            {"Edit7", "RAAA-POSSUM physiological mortality score"},
            {kOtherRiskBoxes[0], "V-POSSUM mortality score"},
            {kOtherRiskBoxes[1], "V-POSSUM physiological mortality score"},
            {kOtherRiskBoxes[2], "P-POSSUM (1998) mortality score"}};
        for (const auto& [name, label] : expected) {
            QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(box(name));
            QVERIFY(iface);
            QCOMPARE(iface->text(QAccessible::Name), label);
            // Named in their own right, not only through a label a reader may not follow.
            QCOMPARE(box(name)->accessibleName(), label);
        }
        // Still read-only, and still passed over by Tab.
        for (const char* name : {"Edit3", "Edit4", "Edit5"}) {
            QVERIFY(box(name)->isReadOnly());
            QCOMPARE(box(name)->focusPolicy(), Qt::ClickFocus);
        }
        // The added ones are read-only but reached by Tab, so a reader hears them.
        for (const char* name : kOtherRiskBoxes) {
            QVERIFY(box(name)->isReadOnly());
            QCOMPARE(box(name)->focusPolicy(), Qt::StrongFocus);
        }
        QCOMPARE(window().findChild<QGroupBox*>()->title(),
                 QStringLiteral("Other published equations"));
    }

    // Worked by hand from the published constants: at PS 20 / OS 10 the
    // arterial-surgery physiology equation gives 4.92% where the ruptured-
    // aneurysm one (Edit7) gives 30.56%.
    void calculateShowsTheOtherPublishedRisksAndClearsThemWithTheOthers() {
        start({"/TEST"});
        platform.regional.decimalSeparator = QLatin1Char(',');
        typeScores("20", "10");
        QVERIFY(otherRiskTexts().join(QString()).isEmpty());
        QTest::mouseClick(button("Button1"), Qt::LeftButton);
        QCOMPARE(box("Edit7")->text(), QStringLiteral(" 30,56%"));
        QCOMPARE(otherRiskTexts(), (QStringList{"  2,37%", "  4,92%", "  1,58%"}));
        QTest::keyClick(box("Edit2"), Qt::Key_1); // 101: the risks no longer hold
        QCOMPARE(riskTexts(), QStringList(5, QString()));
        QCOMPARE(otherRiskTexts(), QStringList(3, QString()));
    }

    // Each risk box holds its widest text, "100.00%", in the user's font at
    // every size the desktop offers, with the window squeezed to its smallest.
    void everyRiskBoxHoldsItsWidestTextAtEveryFontSize() {
        start({"/TEST"});
        typeScores("88", "48");
        QTest::mouseClick(button("Button1"), Qt::LeftButton);
        QCOMPARE(box("Edit3")->text(), QStringLiteral("100.00%"));
        const QFont original = QApplication::font();
        const auto restoreFont = qScopeGuard([&] { QApplication::setFont(original); });
        QStringList cut;
        for (int size : QFontDatabase::standardSizes()) {
            QFont font = original;
            font.setPointSize(size);
            QApplication::setFont(font);
            QApplication::processEvents();
            window().resize(window().minimumSize());
            QApplication::processEvents();
            for (const char* name : {"Edit5", "Edit3", "Edit4", "Edit6", "Edit7",
                                     kOtherRiskBoxes[0], kOtherRiskBoxes[1], kOtherRiskBoxes[2]}) {
                QLineEdit* risk = box(name);
                const QFontMetrics metrics(risk->font());
                const int needed = std::max(metrics.horizontalAdvance(QStringLiteral("100.00%")),
                                            metrics.horizontalAdvance(risk->text()));
                if (textWidthOf(*risk) < needed)
                    cut << QStringLiteral("%1 at %2 pt: %3 px for %4")
                               .arg(QLatin1String(name))
                               .arg(size)
                               .arg(textWidthOf(*risk))
                               .arg(needed);
            }
        }
        QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QStringLiteral("; "))));
    }

    // The plain top-level windows are windows to a screen reader, not filler.
    void windowsHaveTheWindowRole() {
        start({});
        for (QWidget* w : std::initializer_list<QWidget*>{&window(), &program->reportWindow(),
                                                          &program->selfTestWindow()}) {
            QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(w);
            QVERIFY(iface);
            QCOMPARE(iface->role(), QAccessible::Window);
        }
        QCOMPARE(QAccessible::queryAccessibleInterface(&window())->text(QAccessible::Name),
                 QStringLiteral("Caldrin Calculator"));
        QCOMPARE(QAccessible::queryAccessibleInterface(&program->detailsDialog())->role(),
                 QAccessible::Dialog);
    }

    void typedScoresEnableCalculateOnlyWhenBothAreEntered() {
        start({"/TEST"});
        QTest::keyClicks(box("Edit1"), "34");
        QVERIFY(!button("Button1")->isEnabled());
        QCOMPARE(program->episode().assessment().physiologicalScore, 34);
        QCOMPARE(program->episode().assessment().operativeScore, 0);
        QTest::keyClicks(box("Edit2"), "10");
        QVERIFY(button("Button1")->isEnabled());
        QCOMPARE(program->episode().assessment().operativeScore, 10);
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
        QCOMPARE(program->episode().assessment().physiologicalScore, 0);
        QVERIFY(!button("Button1")->isEnabled());
    }

    void spoilingAScoreAfterEnablingCalculateGivesTheDataError() {
        start({"/TEST"});
        typeScores("30", "15");
        QTest::mouseClick(button("Button1"), Qt::LeftButton);
        QVERIFY(button("Button4")->isEnabled());
        const QStringList shownRisks = riskTexts();
        const auto storedRisks = program->episode().assessment().risks;

        QTest::keyClick(box("Edit1"), Qt::Key_Space); // "30 " is no longer a score
        QCOMPARE(program->episode().assessment().physiologicalScore, 0);
        QVERIFY(button("Button1")->isEnabled());
        QTest::mouseClick(button("Button1"), Qt::LeftButton);

        QCOMPARE(platform.messageTexts(),
                 QStringList{"Data error.\nEnter correct data for scores above."});
        QVERIFY(!button("Button4")->isEnabled());
        QVERIFY(button("Addtofilebutton")->isEnabled());
        QCOMPARE(riskTexts(), shownRisks);
        QCOMPARE(program->episode().assessment().risks, storedRisks);
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
        const auto storedRisks = program->episode().assessment().risks;
        QTest::keyClick(box("Edit2"), Qt::Key_6); // 156
        QCOMPARE(riskTexts(), QStringList(5, QString()));
        QCOMPARE(program->episode().assessment().risks, storedRisks);
        QCOMPARE(program->episode().assessment().operativeScore, 156);
    }

    // A window opened from the keyboard takes the keyboard, with its focus
    // visible at once: keys meant for it must not reach the main window.
    void windowsOpenedByButtonsTakeTheKeyboard_data() {
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<QString>("opened");
        QTest::newRow("page 1") << QByteArray("Button2") << "TForm2";
        QTest::newRow("operative dialog") << QByteArray("Button3") << "TForm4";
        QTest::newRow("MD5 test") << QByteArray("TestMD5Button") << "TForm6";
    }
    void windowsOpenedByButtonsTakeTheKeyboard() {
        QFETCH(QByteArray, command);
        QFETCH(QString, opened);
        start({});
        const bool visibleAtStart = focusIsVisible();
        button(command)->setFocus(Qt::TabFocusReason);
        QTest::keyClick(button(command), Qt::Key_Space);
        QWidget* dialog = openedWindow(opened);
        QVERIFY(QTest::qWaitForWindowActive(dialog));
        QCOMPARE(QApplication::activeWindow(), dialog);
        QVERIFY(dialog->isAncestorOf(QApplication::focusWidget()));
        // What a window manager is asked for: this platform activates anyway.
        QVERIFY(!dialog->testAttribute(Qt::WA_ShowWithoutActivating));
        QVERIFY(visibleAtStart);
        QVERIFY(focusIsVisible());
        if (opened != QLatin1String("TForm6")) {
            // The first group holds the keyboard; Space chooses there.
            QVERIFY(qobject_cast<QRadioButton*>(QApplication::focusWidget()));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
            QVERIFY(dialog->isVisible());
            QCOMPARE(QApplication::activeWindow(), dialog);
        }
    }

    // Every other window opens centred on the main window, wholly on the
    // screen, and every window fits a 1280x800 screen.
    void secondaryWindowsOpenOverTheMainWindowInsideTheScreen() {
        start({"/TEST"});
        // Away from the screen's corner, where centring and clamping part.
        window().move(250, 150);
        typeScores("30", "15");
        QTest::mouseClick(button("Button1"), Qt::LeftButton);
        const QRect available = window().screen()->availableGeometry();
        QVERIFY(available.contains(window().frameGeometry()));
        QVERIFY(fitsSmallScreen(window()));
        const QPoint centre = window().frameGeometry().center();

        const auto check = [&](QWidget& opened) {
            const QRect frame = opened.frameGeometry();
            const QByteArray where =
                opened.objectName().toLatin1() + " at " + QByteArray::number(frame.x()) + "," +
                QByteArray::number(frame.y()) + " " + QByteArray::number(frame.width()) + "x" +
                QByteArray::number(frame.height());
            QVERIFY2(opened.isVisible(), where);
            QVERIFY2(available.contains(frame), where);
            QVERIFY2(fitsSmallScreen(opened), where);
            // Each fits centred here; the screen's edges are tested on their own.
            const QPoint offset = frame.center() - centre;
            QVERIFY2(std::abs(offset.x()) <= 1 && std::abs(offset.y()) <= 1, where);
        };
        platform.modalHandlers.push_back([&](QDialog& details) {
            check(details);
            details.reject();
        });
        QTest::mouseClick(button("Button4"), Qt::LeftButton);
        check(program->reportWindow());
        QTest::mouseClick(button("TestMD5Button"), Qt::LeftButton);
        check(program->selfTestWindow());
        QTest::mouseClick(button("Button2"), Qt::LeftButton);
        check(program->physiologicalPage1());
        program->physiologicalPage1().hide();
        QTest::mouseClick(button("Button3"), Qt::LeftButton);
        check(program->operativeDialog());
        program->physiologicalPage2().startPage2(10);
        check(program->physiologicalPage2());
        QVERIFY(platform.modalHandlers.empty());
    }

    // The main window on its own, wired to no other window, shows and runs
    // its commands: it only follows the episode and asks by its signals.
    void mainWindowAloneAsksTheOthersBySignals() {
        FakePlatform alonePlatform;
        EpisodeModel episode;
        MainWindow alone(alonePlatform, episode, {QStringLiteral("/TEST")});
        QSignalSpy physiological(&alone, &MainWindow::physiologicalScoreRequested);
        QSignalSpy details(&alone, &MainWindow::detailsNeeded);
        QSignalSpy report(&alone, &MainWindow::reportRequested);
        QSignalSpy selfTest(&alone, &MainWindow::selfTestRequested);
        alone.show();
        QVERIFY(QTest::qWaitForWindowExposed(&alone));
        auto find = [&alone](const char* name) { return alone.findChild<QWidget*>(name); };

        QTest::keyClicks(find("Edit1"), QStringLiteral("34"));
        QTest::keyClicks(find("Edit2"), QStringLiteral("10"));
        QVERIFY(find("Button1")->isEnabled());
        QTest::mouseClick(find("Button1"), Qt::LeftButton);
        QVERIFY(find("Button4")->isEnabled());
        QVERIFY(find("Addtofilebutton")->isEnabled());

        QTest::mouseClick(find("Button4"), Qt::LeftButton);
        QCOMPARE(details.count(), 1);
        QCOMPARE(report.count(), 1);
        const auto figures = report.at(0).at(0).value<ReportSources>();
        QCOMPARE(figures.physiologicalScore, std::string("34"));
        QCOMPARE(figures.operativeScore, std::string("10"));
        QCOMPARE(QString::fromStdString(figures.risks[0]),
                 qobject_cast<QLineEdit*>(find("Edit3"))->text());

        QTest::mouseClick(find("TestMD5Button"), Qt::LeftButton);
        QCOMPARE(selfTest.count(), 1);
        QTest::mouseClick(find("Button2"), Qt::LeftButton);
        QCOMPARE(physiological.count(), 1);
        QVERIFY(!find("Button4")->isEnabled());
        QVERIFY(alonePlatform.messages.empty());
    }

    void exitAndTheCloseControlEndTheProgramAlike() {
        start({});
        QSignalSpy closedSpy(&window(), &MainWindow::closed);
        QTest::mouseClick(button("BitBtn1"), Qt::LeftButton);
        QCOMPARE(closedSpy.count(), 1);
        QVERIFY(!window().isVisible());
        QVERIFY(platform.messages.empty());
    }
};

QTEST_MAIN(MainWindowTest)
#include "mainwindow_test.moc"
