// SPDX-License-Identifier: GPL-3.0-or-later
// Updating a model in the audit window: the fit of the model picked on the
// date range shown, as the engine makes it; saving the chosen update with
// its provenance, never over an audit file read; too few events; and using
// an update at the bedside (the calculator's configuration folder), from
// the fit or from a chosen file, always after a confirmation that says what
// it replaces.

#include "audit/modelupdatefit.h"
#include "audit/reading.h"
#include "auditgenerator.h"
#include "auditwindow/auditwindow.h"
#include "auditwindow/datefield.h"
#include "auditwindow/updatefitdialog.h"
#include "auditwindowtesting.h"
#include "bedsideupdate/bedsideupdate.h"
#include "fakeplatform.h"
#include "mnemonics.h"
#include "updatefixtures.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <functional>
#include <memory>

using namespace caldrin;
using namespace caldrin::audit;
using namespace caldrin::auditwindow;
using caldrin::auditwindow::testing::FakeAuditDialogs;
using caldrin::auditwindow::testing::testSettings;
using caldrin::auditwindow::testing::titleOf;
using caldrin::testing::FakePlatform;
using modelupdate::Method;
namespace generated = caldrin::audit::testing;

namespace {

QByteArray contentsOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

modelupdate::ReadUpdate readBack(const QString& path) {
    return modelupdate::readUpdateFile(QFile::encodeName(path).toStdString());
}

QString number(double value, int decimals) {
    return QString::number(value, 'f', decimals).replace(QLatin1Char('-'), QChar(0x2212));
}

// Clicks the confirmation's button that reads `text`, or Cancel when empty,
// keeping what it asked.
std::function<void(QDialog&)> answer(const QString& text, QString* asked = nullptr) {
    return [text, asked](QDialog& dialog) {
        auto& box = dynamic_cast<QMessageBox&>(dialog);
        if (asked)
            *asked = box.text();
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

class UpdateFitTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    FakePlatform platform;
    FakeAuditDialogs dialogs;
    std::unique_ptr<AuditWindow> window;
    QString overpredicted; // P-POSSUM mortality's odds halved: recalibration
    QString fewEvents;     // too few deaths for any update

    QString generate(const QString& name, std::size_t records, std::uint64_t seed,
                     double oddsMultiplier) {
        generated::GeneratedAudit options;
        options.records = records;
        options.seed = seed;
        options.oddsMultiplier = oddsMultiplier;
        const QString path = dir.filePath(name);
        if (!generated::writeAuditFile(QFile::encodeName(path).toStdString(), options))
            qFatal("cannot write the generated audit file");
        return path;
    }

    void open(const QStringList& paths) {
        window = std::make_unique<AuditWindow>(platform, dialogs, testSettings());
        window->show();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        dialogs.openAnswers.push_back(paths);
        QTest::keyClick(window.get(), Qt::Key_O, Qt::ControlModifier);
        QTRY_VERIFY_WITH_TIMEOUT(
            !window->isBusy() && window->shownLoad() && window->shownLoad()->complete, 120000);
    }

    // The engine's own fit of the files, as the window reads them.
    UpdateFit engineFit(const QStringList& paths, const std::optional<Date>& from = {},
                        const std::optional<Date>& to = {}) {
        AuditReader reader(testSettings().read);
        for (const QString& path : paths)
            reader.addFile(QFile::encodeName(path).toStdString());
        const AuditData data = reader.finish();
        return fitUpdate(data, Model::PPossumMortality, from, to);
    }

    // Opens "Update this Model" from the File menu; `use` acts in the
    // dialog, which is closed afterwards with Escape.
    void updateModel(const std::function<void(UpdateFitDialog&)>& use) {
        platform.modalHandlers.push_back([use](QDialog& shown) {
            auto& dialog = dynamic_cast<UpdateFitDialog&>(shown);
            dialog.activateWindow();
            QTRY_VERIFY(dialog.isActiveWindow());
            use(dialog);
            QTest::keyClick(&dialog, Qt::Key_Escape);
        });
        window->findChild<QAction*>("actionUpdateModel")->trigger();
        QVERIFY(platform.modalHandlers.empty());
    }

    static void typeUnit(UpdateFitDialog& dialog, const QString& unit) {
        auto* edit = dialog.findChild<QLineEdit*>("unitName");
        QTest::keyClick(&dialog, Qt::Key_U, Qt::AltModifier);
        QVERIFY(edit->hasFocus());
        QTest::keyClicks(edit, unit);
    }

    // Alt and the button's letter, as a user presses it: the button is drawn
    // pressed and clicks a moment later.
    static void press(UpdateFitDialog& dialog, Qt::Key key, const char* buttonName) {
        auto* button = dialog.findChild<QPushButton*>(buttonName);
        QTest::keyClick(&dialog, key, Qt::AltModifier);
        QVERIFY(button->isDown());
        QTRY_VERIFY(!button->isDown());
    }

    template <typename T> static T* in(QWidget& dialog, const char* name) {
        return dialog.findChild<T*>(name);
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(dir.isValid());
        QCoreApplication::setOrganizationName(QStringLiteral("CaldrinTest"));
        QCoreApplication::setApplicationName(QStringLiteral("UpdateFitTest"));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.filePath(QStringLiteral("config"))));
        QVERIFY(bedsideupdate::updatePath().startsWith(dir.path()));
        overpredicted = generate(QStringLiteral("overpredicted.csv"), 6000, 32, 0.5);
        fewEvents = generate(QStringLiteral("few.csv"), 200, 33, 0.05);
    }

    void init() {
        platform = FakePlatform();
        dialogs = FakeAuditDialogs();
        QFile::remove(bedsideupdate::updatePath());
    }
    void cleanup() { window.reset(); }

    void showsTheEnginesFitAndSavesTheChosenUpdate() {
        open({overpredicted});
        const UpdateFit expected = engineFit({overpredicted});
        QVERIFY(expected.chosen);
        QVERIFY(*expected.chosen != Method::Original);
        const QString saved = dir.filePath(QStringLiteral("update.json"));
        QSignalSpy status(window.get(), &AuditWindow::figuresShown);

        updateModel([&](UpdateFitDialog& dialog) {
            QVERIFY(caldrin::testing::mnemonicClashes(&dialog).isEmpty());
            QVERIFY(in<QLabel>(dialog, "updateEpisodes")
                        ->text()
                        .contains(QStringLiteral("%1 episodes").arg(expected.episodes)));
            // Each candidate with its estimates and standard errors, as the
            // engine fitted them.
            auto* table = in<QTableWidget>(dialog, "updateCandidates");
            QCOMPARE(table->rowCount(), int(expected.candidates.size()));
            for (int r = 0; r < table->rowCount(); ++r) {
                const UpdateCandidate& c = expected.candidates[std::size_t(r)];
                QVERIFY(table->item(r, 0)->text().startsWith(
                    QString::fromUtf8(modelupdate::methodTitle(c.method).data())));
                QVERIFY(c.logLikelihood);
                QCOMPARE(table->item(r, 2)->text(), number(*c.logLikelihood, 2));
                for (std::size_t i = 0; i < c.coefficients.size(); ++i) {
                    const QString estimate = number(c.coefficients[i], 4) +
                                             QStringLiteral(" \u00b1 ") +
                                             number(std::sqrt(c.covariance[i][i]), 4);
                    QVERIFY2(table->item(r, 1)->text().contains(estimate),
                             qPrintable(table->item(r, 1)->text() + " / " + estimate));
                }
            }
            QCOMPARE(in<QTableWidget>(dialog, "closedTest")->rowCount(),
                     int(expected.closedTest.size()));
            QVERIFY(in<QLabel>(dialog, "updateChoice")
                        ->text()
                        .startsWith(
                            QStringLiteral("Chosen: ") +
                            QString::fromUtf8(modelupdate::methodTitle(*expected.chosen).data())));
            // Before and after, each by tenths of the episodes fitted.
            auto* chart = in<QChartView>(dialog, "apparentCalibration")->chart();
            QVERIFY(chart->title().contains(QStringLiteral("Apparent")));
            int curves = 0;
            for (QAbstractSeries* series : chart->series())
                if (series->objectName() == QStringLiteral("published") ||
                    series->objectName() == QStringLiteral("updated")) {
                    QCOMPARE(qobject_cast<QLineSeries*>(series)->count(), 10);
                    ++curves;
                }
            QCOMPARE(curves, 2);

            typeUnit(dialog, QStringLiteral("Ward 7, St Elsewhere"));
            dialogs.saveAnswers.push_back(saved);
            press(dialog, Qt::Key_S, "saveUpdate");
        });

        QCOMPARE(dialogs.saveRequests.size(), std::size_t(1));
        QVERIFY(dialogs.saveRequests[0].suggestedPath.endsWith(QStringLiteral(".json")));
        const modelupdate::ReadUpdate read = readBack(saved);
        QVERIFY2(read.update, read.refusal.c_str());
        const modelupdate::ModelUpdate& update = *read.update;
        QCOMPARE(update.method, *expected.chosen);
        QCOMPARE(update.coefficients, expected.candidate(*expected.chosen)->coefficients);
        QCOMPARE(update.episodes, expected.episodes);
        QCOMPARE(update.unit, std::string("Ward 7, St Elsewhere"));
        QCOMPARE(update.inputFiles.size(), std::size_t(1));
        QCOMPARE(QString::fromStdString(update.inputFiles[0].name), overpredicted);
        QCOMPARE(update.inputFiles[0].bytes, std::uint64_t(QFileInfo(overpredicted).size()));
        QCOMPARE(update.inputFiles[0].records, std::uint64_t(6000));
        QVERIFY(QString::fromStdString(update.created).endsWith(QLatin1Char('Z')));
        QVERIFY(!update.programVersion.empty());
        QVERIFY(platform.messages.empty());
    }

    void fitsTheDateRangeShown() {
        open({overpredicted});
        child<QCheckBox>("rangeCheck")->click();
        for (const auto& [name, text] :
             {std::pair{"fromDate", "1 Jan 2022"}, std::pair{"toDate", "31 Dec 2022"}}) {
            QLineEdit* edit = child<DateField>(name)->lineEdit();
            edit->setFocus();
            edit->selectAll();
            QTest::keyClicks(edit, QString::fromLatin1(text));
        }
        // Asked while the typed range is not yet analysed: the fit waits for it.
        const UpdateFit expected = engineFit({overpredicted}, Date{2022, 1, 1}, Date{2022, 12, 31});
        std::uint64_t shown = 0;
        platform.modalHandlers.push_back([&](QDialog& d) {
            auto& dialog = dynamic_cast<UpdateFitDialog&>(d);
            shown = dialog.fit().episodes;
            QVERIFY(in<QLabel>(dialog, "updateEpisodes")
                        ->text()
                        .contains(QStringLiteral("1 Jan 2022 to 31 Dec 2022")));
            dialog.reject();
        });
        window->findChild<QAction*>("actionUpdateModel")->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(platform.modalHandlers.empty(), 60000);
        QCOMPARE(shown, expected.episodes);
        QVERIFY(expected.episodes < engineFit({overpredicted}).episodes);
    }

    void theSummaryPageUpdatesTheModelChosen() {
        open({overpredicted});
        auto* picker = child<QComboBox>("modelPicker");
        picker->setFocus();
        QTest::keyClick(picker, Qt::Key_Home); // POSSUM morbidity, the first
        QCOMPARE(picker->currentText(), titleOf(Model::PossumMorbidity));
        std::optional<Model> fitted;
        platform.modalHandlers.push_back([&](QDialog& d) {
            auto& dialog = dynamic_cast<UpdateFitDialog&>(d);
            fitted = dialog.fit().model;
            QVERIFY(dialog.windowTitle().contains(titleOf(Model::PossumMorbidity)));
            // Its Help is the topic on updating a model.
            auto* buttons = dialog.findChild<QDialogButtonBox*>();
            buttons->button(QDialogButtonBox::Help)->click();
            QCOMPARE(platform.helpCalls.back().command,
                     QStringLiteral("JumpID(\"\",\"analysis-update\")"));
            dialog.reject();
        });
        // Alt+U on the Summary page, as a user presses it.
        auto* button = child<QPushButton>("updateModelButton");
        QVERIFY(button->isVisible());
        QTest::keyClick(window.get(), Qt::Key_U, Qt::AltModifier);
        QTRY_VERIFY(platform.modalHandlers.empty());
        QCOMPARE(fitted, Model::PossumMorbidity);
    }

    void refusesToSaveOverAnAuditFileRead() {
        open({overpredicted});
        const QByteArray before = contentsOf(overpredicted);
        updateModel([&](UpdateFitDialog& dialog) {
            dialogs.saveAnswers.push_back(overpredicted);
            QTest::mouseClick(in<QPushButton>(dialog, "saveUpdate"), Qt::LeftButton);
        });
        QCOMPARE(platform.messages.size(), std::size_t(1));
        QVERIFY(platform.messages[0].isError);
        QVERIFY2(platform.messages[0].text.contains(QStringLiteral("audit data files open")),
                 qPrintable(platform.messages[0].text));
        QCOMPARE(contentsOf(overpredicted), before);
    }

    void tooFewEventsGiveNothingToSave() {
        open({fewEvents});
        const UpdateFit expected = engineFit({fewEvents});
        QVERIFY(expected.events < kFewestEventsForUpdate);
        updateModel([&](UpdateFitDialog& dialog) {
            QVERIFY(!in<QPushButton>(dialog, "saveUpdate")->isEnabled());
            QVERIFY(!in<QPushButton>(dialog, "useAtBedside")->isEnabled());
            const QString choice = in<QLabel>(dialog, "updateChoice")->text();
            QVERIFY2(choice.startsWith(QStringLiteral("No update is chosen")), qPrintable(choice));
            QVERIFY2(choice.contains(QStringLiteral("%1 events and").arg(expected.events)),
                     qPrintable(choice));
            QVERIFY2(choice.contains(QStringLiteral("too few")), qPrintable(choice));
            // Alt+S presses nothing: no save dialog is asked for.
            QTest::keyClick(&dialog, Qt::Key_S, Qt::AltModifier);
            QVERIFY(!in<QPushButton>(dialog, "saveUpdate")->isDown());
        });
        QVERIFY(dialogs.saveRequests.empty());
    }

    void usesTheFitAtTheBedsideAfterAConfirmation() {
        open({overpredicted});
        const QString target = bedsideupdate::updatePath();
        // Cancelled: nothing written, not even the folder's file.
        QString asked;
        updateModel([&](UpdateFitDialog& dialog) {
            platform.modalHandlers.push_back(answer(QString(), &asked));
            press(dialog, Qt::Key_B, "useAtBedside");
        });
        QVERIFY2(asked.contains(QStringLiteral("No update is set now.")), qPrintable(asked));
        QVERIFY(!QFile::exists(target));

        // Confirmed: the document is in place, and the calculator reads it.
        updateModel([&](UpdateFitDialog& dialog) {
            typeUnit(dialog, QStringLiteral("Ward 7"));
            platform.modalHandlers.push_back(answer(QStringLiteral("&Use this update")));
            press(dialog, Qt::Key_B, "useAtBedside");
            QVERIFY(in<QLabel>(dialog, "updateDone")->text().contains(target));
        });
        const modelupdate::ReadUpdate placed = readBack(target);
        QVERIFY2(placed.update, placed.refusal.c_str());
        QCOMPARE(placed.update->unit, std::string("Ward 7"));

        // Another: the confirmation names the update it replaces.
        updateModel([&](UpdateFitDialog& dialog) {
            typeUnit(dialog, QStringLiteral("Ward 9"));
            platform.modalHandlers.push_back(answer(QString(), &asked));
            press(dialog, Qt::Key_B, "useAtBedside");
        });
        QVERIFY2(asked.contains(QStringLiteral("It replaces: ")) &&
                     asked.contains(QStringLiteral("updated on Ward 7")),
                 qPrintable(asked));
        QCOMPARE(readBack(target).update->unit, std::string("Ward 7"));
    }

    void usesAChosenFileAtTheBedside() {
        open({overpredicted});
        using namespace caldrin::testing::updatefixtures;
        const QString target = bedsideupdate::updatePath();
        const QString damaged = dir.filePath(QStringLiteral("damaged.json"));
        const QString good = dir.filePath(QStringLiteral("good.json"));
        const auto write = [](const QString& path, const std::string& text) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(QByteArray::fromStdString(text));
        };
        write(damaged, badFiles().at(1).text());
        write(good, modelupdate::updateDocument(sampleUpdate()).text);
        QAction* bedside = window->findChild<QAction*>("actionUseAtBedside");

        // A refused file: its reason, and nothing copied.
        platform.openAnswers.push_back(OpenFileChoice{damaged, 0});
        bedside->trigger();
        QCOMPARE(platform.messages.size(), std::size_t(1));
        QVERIFY2(
            platform.messages[0].text.contains(QString::fromStdString(badFiles().at(1).reason)),
            qPrintable(platform.messages[0].text));
        QVERIFY(!QFile::exists(target));

        // A damaged file in place is named, with its reason, as what is replaced.
        QVERIFY(QDir().mkpath(QFileInfo(target).absolutePath()));
        write(target, badFiles().at(1).text());
        QString asked;
        platform.openAnswers.push_back(OpenFileChoice{good, 0});
        platform.modalHandlers.push_back(answer(QStringLiteral("&Use this update"), &asked));
        bedside->trigger();
        QVERIFY2(asked.contains(QStringLiteral("It replaces the update file now in place, which "
                                               "is not used (")),
                 qPrintable(asked));
        QCOMPARE(contentsOf(target), contentsOf(good));
    }

private:
    template <typename T> T* child(const char* name) { return window->findChild<T*>(name); }
};

QTEST_MAIN(UpdateFitTest)
#include "updatefit_test.moc"
