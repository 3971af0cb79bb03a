// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/selftestwindow.h"
#include "records_core/md5selftest.h"

#include <QAccessible>
#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

namespace caldrin {

class SelfTestWindowTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<SelfTestWindow> form_;

    QPlainTextEdit* richEdit() const { return form_->findChild<QPlainTextEdit*>("RichEdit1"); }
    QPushButton* button(const char* name) const { return form_->findChild<QPushButton*>(name); }
    QStringList shownLines() const { return richEdit()->toPlainText().split(QLatin1Char('\n')); }

private Q_SLOTS:
    void init() { form_ = std::make_unique<SelfTestWindow>(); }
    void cleanup() { form_.reset(); }

    void startsHiddenAsATopLevelWindow() {
        QVERIFY(!form_->isVisible());
        QVERIFY(form_->isWindow());
        QVERIFY(richEdit());
        QCOMPARE(button("BitBtn1")->text(), QStringLiteral("&Close"));
        QCOMPARE(button("BitBtn2")->text(), QStringLiteral("&Help"));
    }

    void showsTheSuiteWithACorrectDigest() {
        form_->showSelfTest(md5SelfTestLines());

        QVERIFY(form_->isVisible());
        QCOMPARE(form_->windowTitle(), QStringLiteral("MD5 Test Suite"));
        const QStringList lines = shownLines();
        QCOMPARE(lines.size(), 33);
        QCOMPARE(lines.first(), QStringLiteral("MD5 Test Suite ( from Orvan, RFC1321.)"));
        QCOMPARE(lines.filter(QStringLiteral("MD5 hashing test OK.")).size(), 7);
        QCOMPARE(lines[11], QStringLiteral("MD5('abc')="));
        QCOMPARE(lines[12], QStringLiteral("900150983cd24fb0d6963f7d28e17f72"));
        QCOMPARE(lines.last(), QStringLiteral("All MD5 hashing tests OK."));
    }

    void showsFailuresWithoutTheFinalLine() {
        form_->showSelfTest(
            md5SelfTestLines([](std::string_view) { return std::string(32, 'f'); }));

        const QStringList lines = shownLines();
        QCOMPARE(lines.size(), 32);
        QCOMPARE(lines.filter(QStringLiteral("MD5 hashing test failure.")).size(), 7);
        QVERIFY(!lines.contains(QStringLiteral("All MD5 hashing tests OK.")));
    }

    // A second run, even after the user typed into the box, shows the same lines
    // again instead of adding to them.
    void secondRunReplacesTheText() {
        const auto suite = md5SelfTestLines();
        form_->showSelfTest(suite);
        const QString first = richEdit()->toPlainText();

        richEdit()->setFocus();
        QTest::keyClicks(richEdit(), "typed by the user");
        QVERIFY(richEdit()->toPlainText() != first);

        form_->showSelfTest(suite);
        QCOMPARE(richEdit()->toPlainText(), first);
        QVERIFY(form_->isVisible());
    }

    // Tab leaves the results box instead of typing into it, and a screen
    // reader can name the box.
    void tabMovesOnAndTheBoxHasAName() {
        form_->showSelfTest(md5SelfTestLines());
        QVERIFY(QTest::qWaitForWindowActive(form_.get()));
        const QString text = richEdit()->toPlainText();
        richEdit()->setFocus(Qt::TabFocusReason);
        QTest::keyClick(richEdit(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), button("BitBtn2"));
        QCOMPARE(richEdit()->toPlainText(), text);
        QAccessibleInterface* box = QAccessible::queryAccessibleInterface(richEdit());
        QCOMPARE(box->text(QAccessible::Name), QStringLiteral("MD5 test results"));
    }

    void closeHidesAndKeepsTheText() {
        form_->showSelfTest(md5SelfTestLines());
        const QString text = richEdit()->toPlainText();

        QTest::mouseClick(button("BitBtn1"), Qt::LeftButton);
        QVERIFY(!form_->isVisible());
        QCOMPARE(richEdit()->toPlainText(), text);
    }

    void helpAsksForTheHashTopic() {
        form_->showSelfTest(md5SelfTestLines());
        QSignalSpy spy(form_.get(), &SelfTestWindow::helpRequested);

        QTest::mouseClick(button("BitBtn2"), Qt::LeftButton);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.first().first().toString(), QStringLiteral("hash"));
        QVERIFY(form_->isVisible());
    }
};

} // namespace caldrin

QTEST_MAIN(caldrin::SelfTestWindowTest)
#include "selftestwindow_test.moc"
