// SPDX-License-Identifier: GPL-3.0-or-later
// Whole episodes driven through the real windows, as a user would: grade the
// scores, calculate, enter the patient details, report, add to the audit file.
#include "app/mainwindow.h"
#include "app/program.h"
#include "entry/operativedialog.h"
#include "entry/physiologicalpages.h"
#include "entrytesting.h"
#include "episode/episodemodel.h"
#include "fakeplatform.h"
#include "platform/helptopic.h"
#include "records/patientdetailsdialog.h"
#include "records/selftestwindow.h"
#include "report/reportwindow.h"
#include "widgets/optiongroup.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <memory>

using namespace caldrin;
using caldrin::testing::clickOption;
using caldrin::testing::FakePlatform;

namespace {

enum class Choice { First, Last };

QPushButton* buttonOf(QWidget& window, const char* name) {
    return window.findChild<QPushButton*>(name);
}

QLineEdit* boxOf(QWidget& window, const char* name) {
    return window.findChild<QLineEdit*>(name);
}

void click(QWidget& window, const char* name) {
    QPushButton* button = buttonOf(window, name);
    QVERIFY2(button, name);
    QVERIFY2(button->isEnabled(), name);
    QTest::mouseClick(button, Qt::LeftButton);
}

// Picks the first or last option of every group of a score window.
void chooseAll(QWidget& window, Choice choice) {
    const auto groups = window.findChildren<OptionGroup*>();
    QVERIFY(!groups.isEmpty());
    for (OptionGroup* group : groups)
        clickOption(*group, choice == Choice::First ? 0 : group->optionCount() - 1);
}

const char* const kAbcIdentifier = "af5384974eb44bd49790518c45c0e986";

} // namespace

class EpisodeTest : public QObject {
    Q_OBJECT

    std::unique_ptr<FakePlatform> platform;
    std::unique_ptr<Program> program;
    std::unique_ptr<QTemporaryDir> dir;

    MainWindow& main() { return program->mainWindow(); }

    void gradePhysiology(Choice choice) {
        click(main(), "Button2");
        QVERIFY(program->physiologicalPage1().isVisible());
        chooseAll(program->physiologicalPage1(), choice);
        click(program->physiologicalPage1(), "BitBtn1");
        QVERIFY(program->physiologicalPage2().isVisible());
        chooseAll(program->physiologicalPage2(), choice);
        click(program->physiologicalPage2(), "BitBtn1");
    }

    void gradeOperation(Choice choice) {
        click(main(), "Button3");
        QVERIFY(program->operativeDialog().isVisible());
        chooseAll(program->operativeDialog(), choice);
        click(program->operativeDialog(), "BitBtn1");
    }

    // Answers the patient details dialog when it comes up: abc, identity 1,
    // born 01/01/2000, hashed, died Yes, closed with OK.
    void answerDetailsWithHash() {
        platform->modalHandlers.push_back([](QDialog& dialog) {
            QTest::keyClicks(boxOf(dialog, "Name_Edit"), "abc");
            QTest::keyClicks(boxOf(dialog, "ID_Edit"), "1");
            QTest::keyClicks(boxOf(dialog, "DOB_Edit"), "01/01/2000");
            QTest::keyClicks(boxOf(dialog, "Procdate"), "02/03/2026");
            clickOption(*dialog.findChild<OptionGroup*>("RadioGroup2"), 1);
            click(dialog, "HasH_ID");
            click(dialog, "BitBtn1");
        });
    }

    QStringList reportLines() {
        return program->reportWindow().findChild<QPlainTextEdit*>("Memo1")->toPlainText().split(
            QLatin1Char('\n'));
    }

    // Whether another writer could take the audit file's lock now.
    static bool canLock(const QString& path) {
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CLOEXEC);
        if (fd < 0)
            return false;
        const bool locked = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
        ::close(fd);
        return locked;
    }

    QByteArray fileBytes(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
    }

private Q_SLOTS:
    void init() {
        platform = std::make_unique<FakePlatform>();
        program = std::make_unique<Program>(*platform, QStringList{});
        dir = std::make_unique<QTemporaryDir>();
        program->showMainWindow();
        QVERIFY(QTest::qWaitForWindowExposed(&main()));
    }

    void cleanup() {
        program.reset();
        platform.reset();
        dir.reset();
    }

    void gradedScoresGiveTheWorkedRisks_data() {
        QTest::addColumn<int>("choice");
        QTest::addColumn<QString>("ps");
        QTest::addColumn<QString>("os");
        QTest::addColumn<QString>("morbidity");
        QTest::addColumn<QString>("physiologicalMortality");
        QTest::newRow("first options") << int(Choice::First) << "12"
                                       << "6"
                                       << "  5.47%"
                                       << " 16.86%";
        QTest::newRow("last options") << int(Choice::Last) << "88"
                                      << "48"
                                      << "100.00%"
                                      << " 99.69%";
    }
    void gradedScoresGiveTheWorkedRisks() {
        QFETCH(int, choice);
        QFETCH(QString, ps);
        QFETCH(QString, os);
        QFETCH(QString, morbidity);
        QFETCH(QString, physiologicalMortality);

        gradePhysiology(Choice(choice));
        QCOMPARE(boxOf(main(), "Edit1")->text(), ps);
        QVERIFY(!buttonOf(main(), "Button1")->isEnabled());
        gradeOperation(Choice(choice));
        QCOMPARE(boxOf(main(), "Edit2")->text(), os);
        click(main(), "Button1");
        QCOMPARE(boxOf(main(), "Edit5")->text(), morbidity);
        QCOMPARE(boxOf(main(), "Edit7")->text(), physiologicalMortality);
        QVERIFY(buttonOf(main(), "Button4")->isEnabled());
        QVERIFY(buttonOf(main(), "Addtofilebutton")->isEnabled());
    }

    void cancellingPage2WithdrawsThePhysiologicalScore() {
        gradePhysiology(Choice::First);
        gradeOperation(Choice::First);
        QVERIFY(buttonOf(main(), "Button1")->isEnabled());

        click(main(), "Button2");
        chooseAll(program->physiologicalPage1(), Choice::Last);
        click(program->physiologicalPage1(), "BitBtn1");
        // The old score stands until page 2 is confirmed or cancelled.
        QCOMPARE(program->episode().assessment().physiologicalScore, 12);
        click(program->physiologicalPage2(), "BitBtn2");

        QCOMPARE(program->episode().assessment().physiologicalScore, 0);
        QCOMPARE(boxOf(main(), "Edit1")->text(), QString());
        QCOMPARE(boxOf(main(), "Edit2")->text(), QStringLiteral("6"));
        QVERIFY(!buttonOf(main(), "Button1")->isEnabled());
    }

    void cancellingAReopenedPage1ClosesTheOldPage2() {
        click(main(), "Button2");
        chooseAll(program->physiologicalPage1(), Choice::First);
        click(program->physiologicalPage1(), "BitBtn1");
        QVERIFY(program->physiologicalPage2().isVisible());

        click(main(), "Button2");
        QVERIFY(program->physiologicalPage2().isVisible());
        click(program->physiologicalPage1(), "BitBtn2");

        QVERIFY(!program->physiologicalPage2().isVisible());
        QCOMPARE(program->episode().assessment().physiologicalScore, 0);
        QCOMPARE(boxOf(main(), "Edit1")->text(), QString());
    }

    void changeCommandsKeepTheRisksAndAddToFileButNotCreateReport() {
        gradePhysiology(Choice::First);
        gradeOperation(Choice::First);
        click(main(), "Button1");
        const QString risk = boxOf(main(), "Edit3")->text();

        click(main(), "Button3");
        QVERIFY(!buttonOf(main(), "Button4")->isEnabled());
        QVERIFY(buttonOf(main(), "Addtofilebutton")->isEnabled());
        QCOMPARE(boxOf(main(), "Edit3")->text(), risk);
        // The operative dialog opens without taking the focus from the main window.
        QVERIFY(!program->operativeDialog().isActiveWindow());

        // Confirming the same options writes the same total: no change, risks stay.
        chooseAll(program->operativeDialog(), Choice::First);
        click(program->operativeDialog(), "BitBtn1");
        QCOMPARE(boxOf(main(), "Edit3")->text(), risk);
        QVERIFY(!buttonOf(main(), "Button4")->isEnabled());
    }

    void createReportAsksForDetailsThenShowsTheReport() {
        gradePhysiology(Choice::First);
        gradeOperation(Choice::First);
        click(main(), "Button1");
        answerDetailsWithHash();
        click(main(), "Button4");

        QVERIFY(platform->modalHandlers.empty());
        QVERIFY(platform->messages.empty());
        QVERIFY(program->reportWindow().isVisible());
        const QStringList lines = reportLines();
        QCOMPARE(lines.size(), 53); // 52 lines, each ended by a line break
        QCOMPARE(lines[5], QStringLiteral("Name                :   abc"));
        QCOMPARE(lines[11], QStringLiteral("Hashed identifier   :   ") + kAbcIdentifier);
        QCOMPARE(lines[15], QStringLiteral("Age                 :   1"));
        QCOMPARE(lines[28], QStringLiteral("TOTAL               :  12"));
        QCOMPARE(lines[43], QStringLiteral("POSSUM morbidity    :   5.47%"));
        QCOMPARE(lines[50], QStringLiteral("Actual Mortality    :   1"));

        // The details were shown since the last Calculate: no second question.
        click(main(), "Button4");
        QCOMPARE(reportLines().size(), 53);
    }

    void calculateEmptiesTheDetailsAndAsksAgain() {
        gradePhysiology(Choice::First);
        gradeOperation(Choice::First);
        click(main(), "Button1");
        answerDetailsWithHash();
        click(main(), "Button4");
        click(main(), "Button1");
        QVERIFY(!program->detailsDialog().DetailsShown());

        QString nameSeen = QStringLiteral("(not asked)");
        platform->modalHandlers.push_back([&nameSeen](QDialog& dialog) {
            nameSeen = boxOf(dialog, "Name_Edit")->text();
            click(dialog, "BitBtn2");
        });
        click(main(), "Button4");
        QCOMPARE(nameSeen, QString());
        QCOMPARE(reportLines()[11], QStringLiteral("Hashed identifier   :   "));
    }

    void addToFileWritesOneRecordPerPressAndClosesAtExit() {
        gradePhysiology(Choice::First);
        gradeOperation(Choice::First);
        click(main(), "Button1");
        answerDetailsWithHash();
        const QString chosen = dir->filePath("audit");
        platform->openAnswers.push_back(OpenFileChoice{chosen, 0});
        click(main(), "Addtofilebutton");
        click(main(), "Addtofilebutton");

        const QString path = chosen + ".CSV";
        QCOMPARE(
            platform->messageTexts(),
            (QStringList{"Opening " + path, "Record added to " + path, "Record added to " + path}));
        const QByteArray record = QByteArray(kAbcIdentifier) +
                                  ",,,02/03/2026,1,1,1,1,1,1,1,1,1,1,1,1,12,1,1,1,1,1,1,6,"
                                  "0.0547,0.0108,0.0020,0.0353,0.1686,,1\r\n";
        const QByteArray header =
            "NAME,ID,DOB,DATE,AGE,CARDIAC,RESPIRATORY,BP,PULSE,GCS,Hb,WCC,"
            "Urea,Na+,K+,ECG,PHYS_TOTAL,OP_SEV,MULT,BL_LOSS,SOIL,MALIG,MODE,"
            "OP_TOTAL,P_MORB,P_MORT,P-P_MORT,V_MORT,VP_MORT,MORBIDITY,MORTALITY\r\n";
        QCOMPARE(fileBytes(path), header + record + record);
        QVERIFY2(!canLock(path), "the open audit file must be locked");

        click(main(), "BitBtn1");
        QCOMPARE(platform->messages.size(), std::size_t(3));
        QVERIFY(!main().isVisible());
        // Exit itself closes and unlocks the file, while the windows still exist.
        QVERIFY2(canLock(path), "Exit must release the audit file");
        QCOMPARE(fileBytes(path), header + record + record);
    }

    void testHashListsTheSuiteInItsWindow() {
        click(main(), "TestMD5Button");
        SelfTestWindow& results = program->selfTestWindow();
        QVERIFY(results.isVisible());
        QCOMPARE(results.windowTitle(), QStringLiteral("MD5 Test Suite"));
        const QStringList lines =
            results.findChild<QPlainTextEdit*>("RichEdit1")->toPlainText().split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 33);
        QCOMPARE(lines.last(), QStringLiteral("All MD5 hashing tests OK."));
    }

    void everyHelpButtonAsksForItsTopicAfterTheContents() {
        const auto expectTopic = [this](const QString& topic) {
            QCOMPARE(platform->helpCalls.size(), std::size_t(2));
            QVERIFY(platform->helpCalls[0].isContents);
            QCOMPARE(platform->helpCalls[0].file, QStringLiteral("Caldrin v3.hlp"));
            QCOMPARE(platform->helpCalls[1].command,
                     QStringLiteral("JumpID(\"\",\"%1\")").arg(topic));
            platform->helpCalls.clear();
        };
        click(main(), "BitBtn3");
        expectTopic("contents");

        click(main(), "Button2");
        click(program->physiologicalPage1(), "BitBtn3");
        expectTopic("run");
        click(main(), "Button3");
        click(program->operativeDialog(), "BitBtn3");
        expectTopic("run");
        click(main(), "TestMD5Button");
        click(program->selfTestWindow(), "BitBtn2");
        expectTopic("hash");

        // Help inside the modal details dialog leaves it open with its entries.
        bool stayedOpen = false;
        platform->modalHandlers.push_back([&stayedOpen](QDialog& dialog) {
            QTest::keyClicks(boxOf(dialog, "Name_Edit"), "abc");
            click(dialog, "BitBtn3");
            stayedOpen = dialog.isVisible() && dialog.isModal() &&
                         boxOf(dialog, "Name_Edit")->text() == QStringLiteral("abc");
            click(dialog, "BitBtn1");
        });
        gradePhysiology(Choice::First);
        gradeOperation(Choice::First);
        click(main(), "Button1");
        click(main(), "Button4");
        QVERIFY(stayedOpen);
        expectTopic("create");
        click(program->reportWindow(), "BitBtn2");
        expectTopic("create");
    }

    // F1 pressed where the keyboard focus is, in each window as the user
    // reaches it, asks for the same topic as that window's Help button.
    void f1OpensTheTopicOfTheWindowInUse() {
        const auto topicAfterF1 = [this](QWidget& window) -> QString {
            window.activateWindow();
            if (!QTest::qWaitForWindowActive(&window))
                return QStringLiteral("(window not active)");
            platform->helpCalls.clear();
            QWidget* focused = QApplication::focusWidget();
            QTest::keyClick(focused && focused->window() == &window ? focused : &window,
                            Qt::Key_F1);
            if (platform->helpCalls.size() != 2 || !platform->helpCalls[0].isContents)
                return QStringLiteral("(%1 help calls)").arg(platform->helpCalls.size());
            return platform->helpCalls[1].command;
        };
        const auto jump = [](const char* topic) { return helpJumpCommand(QLatin1String(topic)); };

        QCOMPARE(topicAfterF1(main()), jump("contents"));

        click(main(), "Button2");
        QCOMPARE(topicAfterF1(program->physiologicalPage1()), jump("run"));
        chooseAll(program->physiologicalPage1(), Choice::First);
        click(program->physiologicalPage1(), "BitBtn1");
        QCOMPARE(topicAfterF1(program->physiologicalPage2()), jump("run"));
        chooseAll(program->physiologicalPage2(), Choice::First);
        click(program->physiologicalPage2(), "BitBtn1");

        click(main(), "Button3");
        QCOMPARE(topicAfterF1(program->operativeDialog()), jump("run"));
        chooseAll(program->operativeDialog(), Choice::First);
        click(program->operativeDialog(), "BitBtn1");
        click(main(), "Button1");

        // In the modal details dialog F1 leaves it open and modal.
        QString inDetails;
        bool stayedOpen = false;
        platform->modalHandlers.push_back([&](QDialog& dialog) {
            inDetails = topicAfterF1(dialog);
            stayedOpen = dialog.isVisible() && dialog.isModal();
            click(dialog, "BitBtn1");
        });
        click(main(), "Button4");
        QCOMPARE(inDetails, jump("create"));
        QVERIFY(stayedOpen);
        QCOMPARE(topicAfterF1(program->reportWindow()), jump("create"));

        click(main(), "TestMD5Button");
        QCOMPARE(topicAfterF1(program->selfTestWindow()), jump("hash"));
    }
};

QTEST_MAIN(EpisodeTest)
#include "episode_test.moc"
