// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/patientdetailsdialog.h"

#include "entrytesting.h"
#include "episode/episodemodel.h"
#include "fakeplatform.h"
#include "records_core/md5.h"
#include "widgets/optiongroup.h"

#include <QApplication>
#include <QClipboard>
#include <QDropEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>

#include <algorithm>
#include <array>

using caldrin::PatientDetailsDialog;
using caldrin::testing::FakePlatform;

namespace {

const QString kAbcIdentifier = QStringLiteral("af5384974eb44bd49790518c45c0e986");
const QString kNoName = QStringLiteral("Please enter a name.");
const QString kNoIdentity = QStringLiteral("Please enter an identity number.");
const QString kBadBirth =
    QStringLiteral("Please enter a valid date of birth.\nFormat : dd/mm/yyyy");
const QString kBadProcedure =
    QStringLiteral("Please enter a valid date for procedure.\nFormat : dd/mm/yyyy");

} // namespace

class PatientDetailsDialogTest : public QObject {
    Q_OBJECT

private:
    FakePlatform* platform = nullptr;
    caldrin::EpisodeModel* episode = nullptr;
    PatientDetailsDialog* form = nullptr;

    template <typename T = QLineEdit> T* child(const char* name) const {
        T* widget = form->findChild<T*>(QString::fromLatin1(name));
        if (!widget)
            qFatal("no widget %s", name);
        return widget;
    }
    QLineEdit* edit(const char* name) const { return child<QLineEdit>(name); }
    QPushButton* button(const char* name) const { return child<QPushButton>(name); }
    caldrin::OptionGroup* group(const char* name) const {
        return child<caldrin::OptionGroup>(name);
    }

    // Types `text` key by key; characters beyond ASCII come as a keyboard
    // layout or input method delivers them, as text without a key code.
    static void type(QWidget* widget, const QString& text) {
        for (const QChar c : text) {
            if (c.unicode() < 0x80)
                QTest::keyClick(widget, char(c.unicode()));
            else
                QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c),
                                    Qt::NoModifier);
        }
    }

    void choose(const char* groupName, int index) {
        caldrin::testing::clickOption(*group(groupName), index);
    }

    // Presses Tab (or Shift+Tab) from `start` round the dialog; each option
    // group counts once.
    QStringList tabWalk(QWidget* start, int steps, Qt::Key key = Qt::Key_Tab) {
        start->setFocus(Qt::OtherFocusReason);
        QStringList visited;
        for (int i = 0; i < steps; ++i) {
            QWidget* focus = QApplication::focusWidget();
            QString name = focus ? focus->objectName() : QStringLiteral("(none)");
            for (const char* groupName : {"RadioGroup1", "RadioGroup2"}) {
                if (group(groupName)->isAncestorOf(focus))
                    name = QString::fromLatin1(groupName);
            }
            if (visited.isEmpty() || visited.last() != name)
                visited << name;
            QTest::keyClick(focus, key,
                            key == Qt::Key_Backtab ? Qt::ShiftModifier : Qt::NoModifier);
        }
        return visited;
    }

    // Types into the four patient edits as a user would, after emptying them.
    void enterPatient(const QString& name, const QString& identity, const QString& birth,
                      const QString& procedure) {
        const std::pair<const char*, QString> fields[] = {{"Name_Edit", name},
                                                          {"ID_Edit", identity},
                                                          {"DOB_Edit", birth},
                                                          {"Procdate", procedure}};
        for (const auto& [field, text] : fields) {
            edit(field)->clear();
            type(edit(field), text);
            QCOMPARE(edit(field)->text(), text);
        }
    }

    QString hash(const QString& name, const QString& identity, const QString& birth,
                 const QString& procedure = QStringLiteral("15/06/2026")) {
        enterPatient(name, identity, birth, procedure);
        QTest::mouseClick(button("HasH_ID"), Qt::LeftButton);
        return edit("Edit1")->text();
    }

    // Shows the dialog modally through the platform; `user` acts and closes it.
    int runModal(std::function<void()> user) {
        platform->modalHandlers.push_back([this, user](QDialog& dialog) {
            if (!QTest::qWaitForWindowActive(&dialog))
                QTest::qFail("dialog not active", __FILE__, __LINE__);
            user();
        });
        return platform->runModal(*form);
    }

private Q_SLOTS:
    void init() {
        platform = new FakePlatform;
        episode = new caldrin::EpisodeModel;
        form = new PatientDetailsDialog(*platform, *episode);
        form->ResetDetails();
    }

    void cleanup() {
        delete form;
        delete episode;
        delete platform;
    }

    void laysOutTheDialog() {
        QCOMPARE(form->windowTitle(), QStringLiteral("P-POSSUM - demographic and outcome data"));
        const auto* episode = qobject_cast<QGroupBox*>(edit("Name_Edit")->parentWidget());
        QVERIFY(episode);
        for (const char* name : {"ID_Edit", "DOB_Edit", "Procdate"})
            QCOMPARE(edit(name)->parentWidget(), episode);
        QCOMPARE(episode->title(), QStringLiteral("Episode "));

        const std::pair<QString, const char*> labels[] = {
            {QStringLiteral("Name"), "Name_Edit"},
            {QStringLiteral("Patient Identification"), "ID_Edit"},
            {QStringLiteral("Date of birth"), "DOB_Edit"},
            {QStringLiteral("Date of procedure"), "Procdate"},
            {QStringLiteral("Hashed identifier"), "Edit1"}};
        for (const auto& [text, buddy] : labels) {
            const QLabel* found = nullptr;
            for (const QLabel* label : form->findChildren<QLabel*>())
                if (label->text() == text)
                    found = label;
            QVERIFY2(found, qPrintable(text));
            QCOMPARE(found->buddy(), edit(buddy));
        }

        QCOMPARE(group("RadioGroup1")->title(), QStringLiteral("Significant Morbidity ?"));
        QCOMPARE(group("RadioGroup2")->title(), QStringLiteral("Died ?"));
        for (const char* name : {"RadioGroup1", "RadioGroup2"}) {
            QCOMPARE(group(name)->optionCount(), 2);
            QCOMPARE(group(name)->optionButton(0)->text(), QStringLiteral("No"));
            QCOMPARE(group(name)->optionButton(1)->text(), QStringLiteral("Yes"));
        }
        QVERIFY(group("RadioGroup1")->isAncestorOf(edit("MorbidEdit")));
        QVERIFY(group("RadioGroup2")->isAncestorOf(edit("DiedEdit")));
        QVERIFY(edit("MorbidEdit")->isReadOnly());
        QVERIFY(!edit("DiedEdit")->isReadOnly());

        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form));
        const std::array<std::pair<const char*, QString>, 4> buttons = {{
            {"HasH_ID", QStringLiteral("&Hash ID")},
            {"BitBtn3", QStringLiteral("He&lp")},
            {"BitBtn2", QStringLiteral("Cancel")},
            {"BitBtn1", QStringLiteral("OK")},
        }};
        for (std::size_t i = 0; i < buttons.size(); ++i) {
            QCOMPARE(button(buttons[i].first)->text(), buttons[i].second);
            if (i > 0)
                QVERIFY(button(buttons[i - 1].first)->x() < button(buttons[i].first)->x());
        }
        QVERIFY(button("BitBtn1")->isDefault());
        QVERIFY(group("RadioGroup1")->x() < group("RadioGroup2")->x());
        QVERIFY(edit("Procdate")->mapTo(form, QPoint()).y() < group("RadioGroup1")->y());
        QVERIFY(group("RadioGroup1")->y() < button("BitBtn1")->y());
        QVERIFY(button("BitBtn1")->y() < edit("Edit1")->mapTo(form, QPoint()).y());
        form->hide();
    }

    void hashesTheKnownPatient() {
        QCOMPARE(hash(QStringLiteral("abc"), QStringLiteral("1"), QStringLiteral("01/01/2000")),
                 kAbcIdentifier);
        // A later episode of the same patient.
        QCOMPARE(hash(QStringLiteral("abc"), QStringLiteral("1"), QStringLiteral("01/01/2000"),
                      QStringLiteral("3/4/2031")),
                 kAbcIdentifier);
        QVERIFY(platform->messages.empty());
    }

    void ignoresLetterCaseButNotSpaces() {
        const QString smith =
            hash(QStringLiteral("smith"), QStringLiteral("7"), QStringLiteral("2/3/1960"));
        QCOMPARE(smith.size(), 32);
        QCOMPARE(hash(QStringLiteral("SMITH"), QStringLiteral("7"), QStringLiteral("2/3/1960")),
                 smith);
        const QString spaced =
            hash(QStringLiteral("smith "), QStringLiteral("7"), QStringLiteral("2/3/1960"));
        QCOMPARE(spaced.size(), 32);
        QVERIFY(spaced != smith);
    }

    void hashesALongNameAsItsFirst255Characters() {
        const QString name = QString(300, QLatin1Char('w'));
        const QString full = hash(name, QStringLiteral("1"), QStringLiteral("1/1/2000"));
        QCOMPARE(edit("Name_Edit")->text().size(), 300); // the dialog cuts nothing itself
        QCOMPARE(hash(name.left(255), QStringLiteral("1"), QStringLiteral("1/1/2000")), full);
        QVERIFY(hash(name.left(254), QStringLiteral("1"), QStringLiteral("1/1/2000")) != full);
    }

    void hashesAnAccentedLetterAsItsSingleByte() {
        std::array<std::uint8_t, 520> block{};
        block[0] = 1;
        block[1] = 0xE9; // é in Windows-1252, left as it is by the upper-casing
        block[256] = 1;
        block[257] = '1';
        block[516] = 0xAE; // 36526, 1 January 2000
        block[517] = 0x8E;
        const QString expected = QString::fromStdString(
            caldrin::MD5Print(caldrin::MD5Buffer(block.data(), block.size())));
        QCOMPARE(hash(QStringLiteral("\u00E9"), QStringLiteral("1"), QStringLiteral("01/01/2000")),
                 expected);
        QCOMPARE(form->details().name, std::string("\xE9"));
    }

    void refusesCharactersWithoutAWindows1252Byte() {
        for (const char* name :
             {"Name_Edit", "ID_Edit", "DOB_Edit", "Procdate", "DiedEdit", "Edit1"}) {
            type(edit(name), QStringLiteral("a\u03A9\u20ACb"));
            QCOMPARE(edit(name)->text(), QStringLiteral("a\u20ACb"));
        }
        QCOMPARE(form->details().name, std::string("a\x80"
                                                   "b"));
        QCOMPARE(form->details().died, std::string("a\x80"
                                                   "b"));
    }

    // Typed, pasted or dropped: what the files cannot hold on one line, or
    // what a spreadsheet would run, is refused, and a note beside the field
    // says so until the field is emptied.
    void refusesWhatTheFilesCannotTakeAndSaysSo_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("kept");
        QTest::addColumn<QString>("note");
        const QString lineBreaks = QStringLiteral("Line breaks and control characters");
        QTest::newRow("typed letter outside Windows-1252")
            << "Name_Edit"
            << "type" << QStringLiteral("\u0141ukasz") << "ukasz"
            << QStringLiteral("\u201C\u0141\u201D cannot be stored");
        QTest::newRow("pasted line break") << "Name_Edit"
                                           << "paste"
                                           << "Smith\r\nJohn"
                                           << "" << lineBreaks;
        QTest::newRow("dropped tab") << "ID_Edit"
                                     << "drop"
                                     << "12\t34"
                                     << "" << lineBreaks;
        QTest::newRow("pasted DEL") << "Edit1"
                                    << "paste"
                                    << "ab\x7f"
                                    << "" << lineBreaks;
        QTest::newRow("pasted formula") << "ID_Edit"
                                        << "paste"
                                        << "=HYPERLINK(\"x\")"
                                        << ""
                                        << "may not start with =";
        QTest::newRow("typed plus") << "DOB_Edit"
                                    << "type"
                                    << "+1"
                                    << "1"
                                    << "may not start with +";
        QTest::newRow("dropped minus") << "Procdate"
                                       << "drop"
                                       << "-2+3"
                                       << ""
                                       << "may not start with -";
        QTest::newRow("typed at sign") << "DiedEdit"
                                       << "type"
                                       << "@x"
                                       << "x"
                                       << "may not start with @";
        QTest::newRow("dropped fine") << "Name_Edit"
                                      << "drop"
                                      << "abc"
                                      << "abc"
                                      << "";
        QTest::newRow("inner signs are fine") << "Name_Edit"
                                              << "paste"
                                              << "O'Neil-Smith =+@"
                                              << "O'Neil-Smith =+@"
                                              << "";
    }
    void refusesWhatTheFilesCannotTakeAndSaysSo() {
        QFETCH(QString, field);
        QFETCH(QString, how);
        QFETCH(QString, input);
        QFETCH(QString, kept);
        QFETCH(QString, note);
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form));
        QLineEdit* target = edit(qPrintable(field));
        auto* refusal = form->findChild<QLabel*>(field + QStringLiteral("_Refusal"));
        QVERIFY(refusal);
        QCOMPARE(refusal->focusPolicy(), Qt::NoFocus);
        target->setFocus();

        if (how == QLatin1String("type")) {
            type(target, input);
        } else if (how == QLatin1String("paste")) {
            QGuiApplication::clipboard()->setText(input);
            QTest::keyClick(target, Qt::Key_V, Qt::ControlModifier);
        } else {
            QMimeData data;
            data.setText(input);
            const QPoint at = target->rect().center();
            QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(target, &enter);
            QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(target, &drop);
            QVERIFY(drop.isAccepted());
        }
        QCOMPARE(target->text(), kept);
        QCOMPARE(refusal->isVisible(), !note.isEmpty());
        if (!note.isEmpty()) {
            QVERIFY2(refusal->text().contains(note), qPrintable(refusal->text()));
            QTest::keyClick(target, Qt::Key_Z);
            QVERIFY(refusal->isVisible()); // long enough to be read
            form->ResetDetails();
            QVERIFY(!refusal->isVisible());
        }
        form->hide();
    }

    void emptyDialogShowsFourMessagesInOrder() {
        edit("Edit1")->setText(QStringLiteral("old identifier"));
        platform->onMessage = [this](const QString&) { QVERIFY(edit("Edit1")->text().isEmpty()); };
        QTest::mouseClick(button("HasH_ID"), Qt::LeftButton);
        QCOMPARE(platform->messageTexts(),
                 (QStringList{kNoName, kNoIdentity, kBadBirth, kBadProcedure}));
        QVERIFY(edit("Edit1")->text().isEmpty());
    }

    void dateOfBirthAfterTodayIsRefusedWithItsOwnMessage() {
        // The clock says 15 June 2026; "3/7/41" is 3 July 2041.
        QVERIFY(
            hash(QStringLiteral("abc"), QStringLiteral("1"), QStringLiteral("3/7/41")).isEmpty());
        QCOMPARE(platform->messageTexts().size(), 1);
        const QString message = platform->messageTexts().constFirst();
        QVERIFY(message.contains(QStringLiteral("future")));
        for (const QString& other : {kNoName, kNoIdentity, kBadBirth, kBadProcedure})
            QVERIFY(message != other);
    }

    void invalidDateOfProcedureAloneBlocksTheIdentifier() {
        QCOMPARE(hash(QStringLiteral("abc"), QStringLiteral("1"), QStringLiteral("01/01/2000")),
                 kAbcIdentifier);
        QVERIFY(hash(QStringLiteral("abc"), QStringLiteral("1"), QStringLiteral("01/01/2000"),
                     QStringLiteral("31/04/2001"))
                    .isEmpty());
        QCOMPARE(platform->messageTexts(), QStringList{kBadProcedure});
        // Everything typed stays.
        QCOMPARE(edit("Name_Edit")->text(), QStringLiteral("abc"));
        QCOMPARE(edit("Procdate")->text(), QStringLiteral("31/04/2001"));
    }

    void readsTheRegionalDateFormatAtEachPress() {
        platform->regional.shortDatePattern = QStringLiteral("M/d/yy");
        QVERIFY(hash(QStringLiteral("abc"), QStringLiteral("1"), QStringLiteral("01/01/2000"),
                     QStringLiteral("13/01/2020"))
                    .isEmpty());
        QCOMPARE(platform->messageTexts(), QStringList{kBadProcedure});

        platform->messages.clear();
        platform->regional.shortDatePattern = QStringLiteral("yyyy-MM-dd");
        QCOMPARE(hash(QStringLiteral("abc"), QStringLiteral("1"), QStringLiteral("2000-1-1"),
                      QStringLiteral("2020-01-13")),
                 kAbcIdentifier);

        // The plain C locale's pattern reads day first with "/".
        platform->regional.shortDatePattern = QStringLiteral("d MMM yyyy");
        QCOMPARE(hash(QStringLiteral("abc"), QStringLiteral("1"), QStringLiteral("1/1/2000"),
                      QStringLiteral("13/01/2020")),
                 kAbcIdentifier);
        QVERIFY(platform->messages.empty());
    }

    void twoDigitYearsFollowTheClock() {
        // 1 January 2000 typed as 1/1/00 while the clock is in the 2000s...
        QCOMPARE(hash(QStringLiteral("abc"), QStringLiteral("1"), QStringLiteral("1/1/00")),
                 kAbcIdentifier);
        // ...and not while it is in the 1900s.
        platform->date = QDate(1999, 12, 31);
        QVERIFY(hash(QStringLiteral("abc"), QStringLiteral("1"), QStringLiteral("1/1/00")) !=
                kAbcIdentifier);
        // Without a year, the clock's own year.
        platform->date = QDate(2000, 5, 5);
        QCOMPARE(hash(QStringLiteral("abc"), QStringLiteral("1"), QStringLiteral("1/1")),
                 kAbcIdentifier);
    }

    // Wherever the focus was left, the dialog comes back with it in the name
    // field, so a name typed at once goes into the name.
    void everyShowingStartsAtTheName() {
        runModal([this] {
            edit("Procdate")->setFocus(Qt::TabFocusReason);
            QCOMPARE(QApplication::focusWidget(), edit("Procdate"));
            QTest::mouseClick(button("BitBtn2"), Qt::LeftButton);
        });
        form->ResetDetails();
        runModal([this] {
            QCOMPARE(QApplication::focusWidget(), edit("Name_Edit"));
            type(QApplication::focusWidget(), QStringLiteral("Smith"));
            QTest::mouseClick(button("BitBtn1"), Qt::LeftButton);
        });
        QCOMPARE(form->details().name, std::string("Smith"));
        QVERIFY(form->details().dateOfProcedure.empty());
    }

    void enterInAnEditClosesLikeOk() {
        edit("Edit1")->setText(QStringLiteral("kept"));
        const int result = runModal([this] {
            enterPatient(QStringLiteral("abc"), QStringLiteral("1"), QStringLiteral("01/01/2000"),
                         QStringLiteral("1/1/2020"));
            QTest::keyClick(edit("Procdate"), Qt::Key_Return);
        });
        QCOMPARE(result, int(QDialog::Accepted));
        QVERIFY(!form->isVisible());
        QCOMPARE(edit("Edit1")->text(), QStringLiteral("kept"));
        QCOMPARE(form->details().name, std::string("abc"));
        QCOMPARE(form->details().hashedIdentifier, std::string("kept"));
        QVERIFY(platform->messages.empty());
    }

    void enterInAnOptionGroupClosesLikeOk() {
        const int result = runModal([this] {
            choose("RadioGroup2", 1);
            QRadioButton* yes = group("RadioGroup2")->optionButton(1);
            QCOMPARE(QApplication::focusWidget(), yes);
            QTest::keyClick(yes, Qt::Key_Enter);
        });
        QCOMPARE(result, int(QDialog::Accepted));
        QCOMPARE(form->details().died, std::string("1"));
    }

    void okCancelAndEscapeCloseKeepingEverything() {
        struct Closing {
            const char* how;
            std::function<void(PatientDetailsDialog*)> close;
            int result;
        };
        const Closing closings[] = {
            {"OK",
             [](PatientDetailsDialog* f) {
                 QTest::mouseClick(f->findChild<QPushButton*>("BitBtn1"), Qt::LeftButton);
             },
             QDialog::Accepted},
            {"Cancel",
             [](PatientDetailsDialog* f) {
                 QTest::mouseClick(f->findChild<QPushButton*>("BitBtn2"), Qt::LeftButton);
             },
             QDialog::Rejected},
            {"Escape",
             [](PatientDetailsDialog* f) {
                 QTest::keyClick(f->findChild<QLineEdit*>("DOB_Edit"), Qt::Key_Escape);
             },
             QDialog::Rejected},
            {"close box", [](PatientDetailsDialog* f) { f->close(); }, QDialog::Rejected},
        };
        for (const Closing& closing : closings) {
            form->ResetDetails();
            const int result = runModal([&] {
                enterPatient(QStringLiteral("x"), QStringLiteral(""), QStringLiteral("bad"),
                             QStringLiteral(""));
                choose("RadioGroup1", 0);
                closing.close(form);
            });
            QVERIFY2(result == closing.result, closing.how);
            QVERIFY2(!form->isVisible(), closing.how);
            QVERIFY2(form->DetailsShown(), closing.how);
            const caldrin::PatientDetails details = form->details();
            QCOMPARE(details.name, std::string("x"));
            QCOMPARE(details.dateOfBirth, std::string("bad"));
            QCOMPARE(details.morbidity, std::string("0"));
            QCOMPARE(group("RadioGroup1")->chosenIndex(), 0);
        }
        QVERIFY(platform->messages.empty());
    }

    void helpLeavesTheDialogOpen() {
        QSignalSpy help(form, &PatientDetailsDialog::helpRequested);
        const int result = runModal([&] {
            QTest::mouseClick(button("BitBtn3"), Qt::LeftButton);
            QCOMPARE(help.count(), 1);
            QCOMPARE(help.at(0).at(0).toString(), QStringLiteral("create"));
            QVERIFY(form->isVisible());
            QVERIFY(form->isModal());
            QTest::mouseClick(button("BitBtn1"), Qt::LeftButton);
        });
        QCOMPARE(result, int(QDialog::Accepted));
    }

    void outcomeChoicesShowTheirIndex() {
        QVERIFY(edit("MorbidEdit")->text().isEmpty());
        choose("RadioGroup1", 1);
        QCOMPARE(edit("MorbidEdit")->text(), QStringLiteral("1"));
        choose("RadioGroup1", 0);
        QCOMPARE(edit("MorbidEdit")->text(), QStringLiteral("0"));
        QVERIFY(edit("DiedEdit")->text().isEmpty());

        choose("RadioGroup2", 1);
        QCOMPARE(edit("DiedEdit")->text(), QStringLiteral("1"));
        // The user may write an outcome of their own; it is what the record carries.
        edit("DiedEdit")->clear();
        type(edit("DiedEdit"), QStringLiteral("day 3"));
        QCOMPARE(form->details().died, std::string("day 3"));
        QCOMPARE(form->details().morbidity, std::string("0"));
    }

    void resetEmptiesEverything() {
        QCOMPARE(runModal([this] {
                     QCOMPARE(hash(QStringLiteral("abc"), QStringLiteral("1"),
                                   QStringLiteral("01/01/2000")),
                              kAbcIdentifier);
                     choose("RadioGroup1", 1);
                     choose("RadioGroup2", 0);
                     QTest::mouseClick(button("BitBtn1"), Qt::LeftButton);
                 }),
                 int(QDialog::Accepted));
        QVERIFY(form->DetailsShown());
        form->clearDetailsShown();
        QVERIFY(!form->DetailsShown());
        QCOMPARE(form->details().hashedIdentifier, kAbcIdentifier.toStdString()); // kept

        form->ResetDetails();
        QVERIFY(!form->DetailsShown());
        const caldrin::PatientDetails empty = form->details();
        for (const std::string* text :
             {&empty.name, &empty.identity, &empty.dateOfBirth, &empty.dateOfProcedure,
              &empty.hashedIdentifier, &empty.morbidity, &empty.died})
            QVERIFY(text->empty());
        QCOMPARE(group("RadioGroup1")->chosenIndex(), -1);
        QCOMPARE(group("RadioGroup2")->chosenIndex(), -1);
        for (const char* name : {"RadioGroup1", "RadioGroup2"})
            for (int i = 0; i < 2; ++i)
                QVERIFY(!group(name)->optionButton(i)->isChecked());
    }

    // The dialog is a view of the episode: every edit reaches the episode at
    // once, and the episode's reset (Calculate's) empties the dialog, also
    // when only a choice or a refusal note marks it since the last reset.
    void followsAndFeedsTheEpisode() {
        type(edit("Name_Edit"), QStringLiteral("Ann"));
        choose("RadioGroup1", 1);
        QCOMPARE(episode->details().name, std::string("Ann"));
        QCOMPARE(episode->details().morbidity, std::string("1"));
        QVERIFY(!episode->DetailsShown());
        runModal([this] { QTest::mouseClick(button("BitBtn1"), Qt::LeftButton); });
        QVERIFY(episode->DetailsShown());

        episode->resetDetails();
        QVERIFY(edit("Name_Edit")->text().isEmpty());
        QCOMPARE(group("RadioGroup1")->chosenIndex(), -1);
        QCOMPARE(episode->details().name, std::string());

        choose("RadioGroup2", 0);
        episode->resetDetails();
        QCOMPARE(group("RadioGroup2")->chosenIndex(), -1);
        QVERIFY(edit("DiedEdit")->text().isEmpty());

        type(edit("ID_Edit"), QStringLiteral("="));
        QVERIFY(edit("ID_Edit")->text().isEmpty());
        auto* note = form->findChild<QLabel*>(QStringLiteral("ID_Edit_Refusal"));
        QVERIFY(note && !note->isHidden());
        episode->resetDetails();
        QVERIFY(note->isHidden());
    }

    void tabVisitsTheFieldsInOrder() {
        const QStringList expected = {"Name_Edit",   "ID_Edit",     "DOB_Edit", "Procdate",
                                      "RadioGroup1", "RadioGroup2", "BitBtn1",  "BitBtn2",
                                      "HasH_ID",     "Edit1",       "BitBtn3",  "Name_Edit"};
        runModal([&] {
            QCOMPARE(tabWalk(edit("Name_Edit"), 40).mid(0, expected.size()), expected);
            QStringList backwards = expected;
            std::reverse(backwards.begin(), backwards.end());
            QCOMPARE(tabWalk(edit("Name_Edit"), 40, Qt::Key_Backtab).mid(0, expected.size()),
                     backwards);
            // A choice moves a group's Tab stop, not the group's place in the order.
            choose("RadioGroup1", 1);
            choose("RadioGroup2", 0);
            QCOMPARE(tabWalk(edit("Name_Edit"), 40).mid(0, expected.size()), expected);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        });
        // The reset builds fresh options; the order holds for them too.
        form->ResetDetails();
        runModal([&] {
            QCOMPARE(tabWalk(edit("Name_Edit"), 40).mid(0, expected.size()), expected);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        });
    }
};

QTEST_MAIN(PatientDetailsDialogTest)
#include "patientdetailsdialog_test.moc"
