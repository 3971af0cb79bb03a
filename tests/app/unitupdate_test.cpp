// SPDX-License-Identifier: GPL-3.0-or-later
// The unit's updated figure in the main window: read after the window is
// shown from the configuration folder, shown with its interval for the
// scores calculated, every damaged file refused in one line while the
// calculator goes on working, the two-year warning, and opening and clearing
// an update from the keyboard, each confirmed through the platform.

#include "app/mainwindow.h"
#include "app/program.h"
#include "app/unitupdatepanel.h"
#include "fakeplatform.h"
#include "patientview/patientview.h"
#include "updatefixtures.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <memory>

using namespace caldrin;
using namespace caldrin::testing::updatefixtures;
using caldrin::testing::FakePlatform;

namespace {

double expit(double x) {
    return 1 / (1 + std::exp(-x));
}

// As a risk box shows it: "  5.47%".
QString percent(double p) {
    return QStringLiteral("%1%").arg(p * 100, 6, 'f', 2);
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray documentOf(const ModelUpdate& update) {
    return QByteArray::fromStdString(updateDocument(update).text);
}

// Clicks the confirmation's button that reads `text`, or Cancel when empty.
std::function<void(QDialog&)> answer(const QString& text, QString* shown = nullptr) {
    return [text, shown](QDialog& dialog) {
        auto& box = dynamic_cast<QMessageBox&>(dialog);
        if (shown)
            *shown = box.text();
        for (QAbstractButton* button : box.buttons())
            if (text.isEmpty() ? box.buttonRole(button) == QMessageBox::RejectRole
                               : button->text() == text) {
                button->click();
                return;
            }
        QFAIL("the confirmation has no such button");
    };
}

} // namespace

class UnitUpdateTest : public QObject {
    Q_OBJECT

    QTemporaryDir config;
    FakePlatform platform;
    std::unique_ptr<Program> program;

    MainWindow& window() { return program->mainWindow(); }
    UnitUpdatePanel* panel() { return window().unitUpdatePanel(); }
    template <typename T> T* in(const char* name) { return window().findChild<T*>(name); }
    QString updatePath() const { return UnitUpdatePanel::updatePath(); }

    void start() {
        program = std::make_unique<Program>(platform, QStringList{QStringLiteral("/TEST")});
        QVERIFY(!panel());
        program->showMainWindow();
        QVERIFY(!panel());
        QVERIFY(QTest::qWaitForWindowExposed(&window()));
        window().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window()));
        // Read after the first showing, never before it.
        QTRY_VERIFY(panel());
    }

    void calculate(const QString& ps, const QString& os) {
        in<QLineEdit>("Edit1")->setText(ps);
        in<QLineEdit>("Edit2")->setText(os);
        QTest::mouseClick(in<QPushButton>("Button1"), Qt::LeftButton);
    }

    // Alt and the button's letter, as a user presses it: the button is drawn
    // pressed and clicks a moment later.
    void press(Qt::Key key, const char* buttonName) {
        // A message box closed a moment ago hands the activation back.
        window().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window()));
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus ? focus : &window(), key, Qt::AltModifier);
        QVERIFY(in<QPushButton>(buttonName)->isDown());
        QTRY_VERIFY(!in<QPushButton>(buttonName)->isDown());
    }

    // Only the refusal shows, and the published figures are worked out as ever.
    void expectRefusedAndWorking(const std::string& reason) {
        QLabel* refusal = in<QLabel>("UnitUpdateRefusal");
        QVERIFY(refusal->isVisible());
        QVERIFY2(refusal->text().contains(QString::fromStdString(reason)),
                 qPrintable(refusal->text()));
        QVERIFY(!refusal->text().contains(QLatin1Char('\n')));
        QVERIFY(!in<QLabel>("UnitUpdateTitle")->isVisible());
        QVERIFY(!in<QLineEdit>("UnitUpdateRisk")->isVisible());
        calculate(QStringLiteral("30"), QStringLiteral("15"));
        QCOMPARE(in<QLineEdit>("Edit4")->text(), QStringLiteral(" 19.47%"));
        QVERIFY(in<QLineEdit>("UnitUpdateRisk")->text().isEmpty());
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(config.isValid());
        qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
        QVERIFY(updatePath().startsWith(config.path()));
    }

    void init() {
        platform = FakePlatform();
        QFile::remove(updatePath());
        QVERIFY(QDir().mkpath(QFileInfo(updatePath()).absolutePath()));
    }
    void cleanup() { program.reset(); }

    void noFileShowsNothing() {
        start();
        for (const char* name :
             {"UnitUpdateTitle", "UnitUpdateRisk", "UnitUpdateRefusal", "UnitUpdateWarning"})
            QVERIFY2(!window().findChild<QWidget*>(name)->isVisible(), name);
        QVERIFY(!in<QPushButton>("ClearUnitUpdate")->isEnabled());
        calculate(QStringLiteral("30"), QStringLiteral("15"));
        QCOMPARE(in<QLineEdit>("Edit4")->text(), QStringLiteral(" 19.47%"));
    }

    void showsTheUpdatedFigureAndItsInterval() {
        writeFile(updatePath(), documentOf(sampleUpdate()));
        start();
        QCOMPARE(in<QLabel>("UnitUpdateTitle")->text(),
                 QStringLiteral("P-POSSUM mortality, updated on Ward 7, St Elsewhere, "
                                "1 Jan 2025\u201331 Dec 2025 (2400 episodes, 130 deaths)"));
        QVERIFY(in<QLineEdit>("UnitUpdateRisk")->text().isEmpty());
        QVERIFY(!in<QLabel>("UnitUpdateWarning")->isVisible());

        calculate(QStringLiteral("30"), QStringLiteral("15"));
        // P-POSSUM (Prytherch 1998): logit p = -9.37 + 0.19 PS + 0.15 OS.
        // The update: logit p' = 0.3 + 0.8 L, Var = [1, L] Sigma [1, L]'.
        const double L = -9.37 + 0.19 * 30 + 0.15 * 15;
        const double eta = 0.3 + 0.8 * L;
        const double variance = 0.01 + 2 * 0.002 * L + 0.004 * L * L;
        const double se = std::sqrt(variance);
        QCOMPARE(in<QLineEdit>("Edit4")->text(), percent(expit(L)));
        QCOMPARE(in<QLineEdit>("UnitUpdateRisk")->text(), percent(expit(eta)));
        QCOMPARE(in<QLabel>("UnitUpdateInterval")->text(),
                 QStringLiteral("95% interval ") + percent(expit(eta - 1.959964 * se)).trimmed() +
                     QStringLiteral(" to ") + percent(expit(eta + 1.959964 * se)).trimmed());
        const QString tip = in<QLineEdit>("UnitUpdateRisk")->toolTip();
        QVERIFY2(tip.contains(QStringLiteral("Logistic recalibration")), qPrintable(tip));
        QVERIFY2(tip.contains(QStringLiteral("logit p' = 0.3 + 0.8 L")), qPrintable(tip));

        // F1 on the figure opens its own topic; elsewhere, the contents.
        in<QLineEdit>("UnitUpdateRisk")->setFocus();
        QTest::keyClick(&window(), Qt::Key_F1);
        QVERIFY(!platform.helpCalls.empty());
        QCOMPARE(platform.helpCalls.back().command, QStringLiteral("JumpID(\"\",\"unitupdate\")"));
        in<QPushButton>("Button2")->setFocus();
        QTest::keyClick(&window(), Qt::Key_F1);
        QCOMPARE(platform.helpCalls.back().command, QStringLiteral("JumpID(\"\",\"contents\")"));

        // Cleared with the published risks.
        in<QLineEdit>("Edit2")->setText(QStringLiteral("16"));
        QVERIFY(in<QLineEdit>("Edit4")->text().isEmpty());
        QVERIFY(in<QLineEdit>("UnitUpdateRisk")->text().isEmpty());
        QVERIFY(in<QLabel>("UnitUpdateInterval")->text().isEmpty());
    }

    void warnsOfAnUpdateOlderThanTwoYears_data() {
        QTest::addColumn<QDate>("end");
        QTest::addColumn<bool>("warned");
        // The fake platform's clock reads 15 Jun 2026.
        QTest::newRow("two years to the day") << QDate(2024, 6, 15) << false;
        QTest::newRow("two years and a day") << QDate(2024, 6, 14) << true;
        QTest::newRow("last year") << QDate(2025, 12, 31) << false;
    }
    void warnsOfAnUpdateOlderThanTwoYears() {
        QFETCH(QDate, end);
        QFETCH(bool, warned);
        ModelUpdate update = sampleUpdate();
        update.from = {2023, 1, 1};
        update.to = {end.year(), end.month(), end.day()};
        writeFile(updatePath(), documentOf(update));
        start();
        QLabel* warning = in<QLabel>("UnitUpdateWarning");
        QCOMPARE(warning->isVisible(), warned);
        if (warned)
            QVERIFY(warning->text().contains(QStringLiteral("more than two years old")));
        // Old or not, the figure is shown.
        calculate(QStringLiteral("30"), QStringLiteral("15"));
        QVERIFY(!in<QLineEdit>("UnitUpdateRisk")->text().isEmpty());
    }

    void refusesEachBadFileInOneLineAndGoesOn() {
        // Read at start-up ...
        writeFile(updatePath(), "{\"format\": \"caldrin-model-update\"");
        start();
        expectRefusedAndWorking("cut short");
        // ... and every other damage, read again.
        for (const BadFile& bad : badFiles()) {
            writeFile(updatePath(), QByteArray::fromStdString(bad.text()));
            panel()->load();
            expectRefusedAndWorking(bad.reason);
            if (QTest::currentTestFailed()) {
                qWarning("bad file: %s", bad.name.c_str());
                return;
            }
        }
        // A folder in the file's place cannot be read either.
        QFile::remove(updatePath());
        QVERIFY(QDir().mkpath(updatePath()));
        panel()->load();
        expectRefusedAndWorking("not a regular file");
        QVERIFY(QDir(updatePath()).removeRecursively());
    }

    void thePatientViewShowsTheUpdatedFigureFirst() {
        writeFile(updatePath(), documentOf(sampleUpdate()));
        start();
        calculate(QStringLiteral("30"), QStringLiteral("15"));
        QTest::mouseClick(in<QPushButton>("PatientViewButton"), Qt::LeftButton);
        PatientView& view = program->patientView();
        QVERIFY(view.isVisible());
        auto* selector = view.findChild<QComboBox*>("ModelSelector");
        QCOMPARE(selector->currentIndex(), 0);
        QVERIFY(selector->currentText().startsWith(
            QStringLiteral("P-POSSUM mortality, updated on Ward 7, St Elsewhere")));
        // p' = 30.24%, 95% interval 25.84% to 35.03% (worked out above).
        const auto label = [&](const char* name) { return view.findChild<QLabel*>(name)->text(); };
        QVERIFY2(label("RiskSentence").contains(QStringLiteral("about 30 die")),
                 qPrintable(label("RiskSentence")));
        QCOMPARE(label("UncertaintyNote"),
                 QStringLiteral("For people like this one, the true figure is likely to lie "
                                "between about 26 and about 35 in 100."));
        QVERIFY(view.sheet().source.contains(QStringLiteral("by logistic recalibration")));
        // The published equation is one choice away, without an interval.
        selector->setCurrentIndex(
            selector->findData(int(riskmodels::ModelId::PPossum1996Mortality)));
        QVERIFY2(label("RiskSentence").contains(QStringLiteral("about 19 die")),
                 qPrintable(label("RiskSentence")));
        QVERIFY(!label("UncertaintyNote").contains(QStringLiteral("likely to lie")));

        // Clearing the update closes the view; opened again it offers no update.
        platform.modalHandlers.push_back(answer(QStringLiteral("C&lear the update")));
        press(Qt::Key_L, "ClearUnitUpdate");
        QVERIFY(!view.isVisible());
        QTest::mouseClick(in<QPushButton>("PatientViewButton"), Qt::LeftButton);
        QVERIFY(view.isVisible());
        QCOMPARE(selector->currentData().toInt(), int(riskmodels::ModelId::PPossum1996Mortality));
        QCOMPARE(selector->findData(-1), -1);
    }

    void opensAndClearsAnUpdateFromTheKeyboard() {
        // No configuration folder yet: opening makes it.
        QVERIFY(QDir(QFileInfo(updatePath()).absolutePath()).removeRecursively());
        start();
        const QString chosen = config.filePath(QStringLiteral("chosen.json"));
        const QString damaged = config.filePath(QStringLiteral("damaged.json"));
        writeFile(damaged, QByteArray::fromStdString(badFiles().at(1).text()));
        ModelUpdate first = sampleUpdate();
        writeFile(chosen, documentOf(first));

        // A refused file: the reason, and nothing copied.
        platform.openAnswers.push_back(OpenFileChoice{damaged, 0});
        press(Qt::Key_U, "OpenUnitUpdate");
        QCOMPARE(platform.openRequests.size(), std::size_t(1));
        QCOMPARE(platform.messages.size(), std::size_t(1));
        QVERIFY(platform.messages[0].isError);
        QVERIFY2(platform.messages[0].text.contains(QStringLiteral("cut short")),
                 qPrintable(platform.messages[0].text));
        QVERIFY(!QFile::exists(updatePath()));

        // A good one, after a confirmation saying that it replaces nothing.
        QString shown;
        platform.openAnswers.push_back(OpenFileChoice{chosen, 0});
        platform.modalHandlers.push_back(answer(QStringLiteral("&Use this update"), &shown));
        press(Qt::Key_U, "OpenUnitUpdate");
        QVERIFY2(shown.contains(QStringLiteral("updated on Ward 7")), qPrintable(shown));
        QVERIFY(shown.contains(QStringLiteral("No update is set now.")));
        QFile copy(updatePath());
        QVERIFY(copy.open(QIODevice::ReadOnly));
        QCOMPARE(copy.readAll(), documentOf(first));
        copy.close();
        QVERIFY(in<QLabel>("UnitUpdateTitle")->isVisible());

        // Another, cancelled: the confirmation names what it would replace.
        ModelUpdate second = sampleUpdate();
        second.unit = "Ward 9";
        writeFile(chosen, documentOf(second));
        platform.openAnswers.push_back(OpenFileChoice{chosen, 0});
        platform.modalHandlers.push_back(answer(QString(), &shown));
        press(Qt::Key_U, "OpenUnitUpdate");
        QVERIFY2(
            shown.contains(QStringLiteral("It replaces: P-POSSUM mortality, updated on Ward 7")),
            qPrintable(shown));
        QVERIFY(in<QLabel>("UnitUpdateTitle")->text().contains(QStringLiteral("Ward 7")));

        // The figure follows a new update at once, for the scores shown.
        calculate(QStringLiteral("30"), QStringLiteral("15"));
        const QString before = in<QLineEdit>("UnitUpdateRisk")->text();
        second.coefficients = {-1.0, 0.8};
        writeFile(chosen, documentOf(second));
        platform.openAnswers.push_back(OpenFileChoice{chosen, 0});
        platform.modalHandlers.push_back(answer(QStringLiteral("&Use this update")));
        press(Qt::Key_U, "OpenUnitUpdate");
        QVERIFY(in<QLabel>("UnitUpdateTitle")->text().contains(QStringLiteral("Ward 9")));
        QVERIFY(!in<QLineEdit>("UnitUpdateRisk")->text().isEmpty());
        QVERIFY(in<QLineEdit>("UnitUpdateRisk")->text() != before);

        // Clearing, cancelled and then confirmed.
        platform.modalHandlers.push_back(answer(QString()));
        press(Qt::Key_L, "ClearUnitUpdate");
        QVERIFY(QFile::exists(updatePath()));
        platform.modalHandlers.push_back(answer(QStringLiteral("C&lear the update"), &shown));
        press(Qt::Key_L, "ClearUnitUpdate");
        QVERIFY(shown.contains(QStringLiteral("Ward 9")));
        QVERIFY(!QFile::exists(updatePath()));
        QVERIFY(!in<QLabel>("UnitUpdateTitle")->isVisible());
        QVERIFY(!in<QPushButton>("ClearUnitUpdate")->isEnabled());
        QCOMPARE(in<QLineEdit>("Edit4")->text(), QStringLiteral(" 19.47%"));
    }
};

QTEST_MAIN(UnitUpdateTest)
#include "unitupdate_test.moc"
