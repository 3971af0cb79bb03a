// SPDX-License-Identifier: GPL-3.0-or-later
#include "helpviewer/helpwindow.h"
#include "mnemonics.h"
#include "widgets/contrast.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QToolBar>

#include <memory>

using namespace caldrin;

namespace {

// Headings coloured as the help file colours them, and a word found twice.
const char kHelp[] = R"(<html><head><title>Help</title>
<style>h1 { color: #a00000; } h2 { color: #a00000; }</style></head><body>
<h1 id="contents">Contents</h1><p>Start here.</p>
<h2 id="audit">Audit file</h2><p>The audit file takes one line per episode.</p>
<p>Far below, the word sentinel.</p><p>And sentinel again.</p>
</body></html>)";

QPalette darkPalette() {
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(0x35, 0x35, 0x35));
    dark.setColor(QPalette::WindowText, Qt::white);
    dark.setColor(QPalette::Base, QColor(0x2a, 0x2a, 0x2a));
    dark.setColor(QPalette::Text, Qt::white);
    dark.setColor(QPalette::Button, QColor(0x35, 0x35, 0x35));
    dark.setColor(QPalette::ButtonText, Qt::white);
    return dark;
}

} // namespace

class HelpWindowTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    std::unique_ptr<HelpWindow> window;
    QPalette original;

    QTextBrowser* browser() const { return window->findChild<QTextBrowser*>("HelpBrowser"); }
    QLineEdit* findText() const { return window->findChild<QLineEdit*>("FindText"); }

    // The lowest contrast of any heading's text against the page.
    double worstHeadingContrast() const {
        const QColor base = browser()->palette().color(QPalette::Base);
        double worst = 21.0;
        for (QTextBlock block = browser()->document()->begin(); block.isValid();
             block = block.next()) {
            if (block.blockFormat().headingLevel() == 0)
                continue;
            for (auto it = block.begin(); !it.atEnd(); ++it)
                worst = std::min(
                    worst, contrastRatio(it.fragment().charFormat().foreground().color(), base));
        }
        return worst;
    }

    void openWindow() {
        window = std::make_unique<HelpWindow>();
        QVERIFY(window->load(dir.filePath("help.hlp")));
        QVERIFY(window->showTopic(QStringLiteral("contents")));
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(dir.isValid());
        QFile file(dir.filePath("help.hlp"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(kHelp);
        original = QApplication::palette();
    }

    void cleanup() {
        window.reset();
        QApplication::setPalette(original);
    }

    void headingsStayReadableWhateverThePalette() {
        // On a light page the file's own colour stands.
        openWindow();
        QCOMPARE(browser()->document()->begin().charFormat().foreground().color(),
                 QColor(0xa0, 0, 0));
        // The theme turns dark while the viewer is open.
        QApplication::setPalette(darkPalette());
        QVERIFY2(worstHeadingContrast() >= kReadableContrast,
                 QByteArray::number(worstHeadingContrast()));
        // A viewer opened under the dark theme.
        window.reset();
        openWindow();
        QVERIFY2(worstHeadingContrast() >= kReadableContrast,
                 QByteArray::number(worstHeadingContrast()));
    }

    // With the find bar hidden and shown: each access key in view belongs to
    // one control.
    void everyAccessKeyInViewIsOneControls() {
        openWindow();
        QStringList clashes = caldrin::testing::mnemonicClashes(window.get());
        QTest::keyClick(browser(), Qt::Key_F, Qt::ControlModifier);
        QVERIFY(findText()->isVisible());
        clashes << caldrin::testing::mnemonicClashes(window.get());
        QVERIFY2(clashes.isEmpty(), qPrintable(clashes.join(QLatin1Char('\n'))));
    }

    void ctrlFFindsEveryMatchInTurn() {
        openWindow();
        QVERIFY(!findText()->isVisible());
        QTest::keyClick(browser(), Qt::Key_F, Qt::ControlModifier);
        QVERIFY(findText()->isVisible());
        QCOMPARE(QApplication::focusWidget(), findText());
        QTest::keyClicks(findText(), QStringLiteral("sentinel"));
        QTest::keyClick(findText(), Qt::Key_Return);
        const int first = browser()->textCursor().selectionStart();
        QCOMPARE(browser()->textCursor().selectedText(), QStringLiteral("sentinel"));
        QTest::keyClick(findText(), Qt::Key_Return);
        const int second = browser()->textCursor().selectionStart();
        QVERIFY(second > first);
        // After the last match the search starts again from the top.
        QTest::keyClick(findText(), Qt::Key_Return);
        QCOMPARE(browser()->textCursor().selectionStart(), first);
        QTest::keyClick(findText(), Qt::Key_Return, Qt::ShiftModifier);
        QCOMPARE(browser()->textCursor().selectionStart(), second);

        // A word that is not there leaves the last match selected.
        findText()->clear();
        QTest::keyClicks(findText(), QStringLiteral("absent"));
        QTest::keyClick(findText(), Qt::Key_Return);
        QCOMPARE(browser()->textCursor().selectionStart(), second);
    }

    void escapeLeavesTheFindBarThenCloses() {
        openWindow();
        QTest::keyClick(browser(), Qt::Key_F, Qt::ControlModifier);
        QVERIFY(findText()->hasFocus());
        QTest::keyClick(findText(), Qt::Key_Escape);
        QVERIFY(!findText()->isVisible());
        QVERIFY(window->isVisible());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QVERIFY(!window->isVisible());
    }

    // Fields with commas are quoted in the audit file; the help must not warn
    // that they shift its columns.
    void theHelpFileTellsHowCommasAreWritten() {
        window = std::make_unique<HelpWindow>();
        QVERIFY(window->load(QStringLiteral(CALDRIN_HELP_FILE)));
        const QString text = browser()->document()->toPlainText().simplified();
        QVERIFY(!text.contains(QRegularExpression(QStringLiteral("comma[^.]*shift"),
                                                  QRegularExpression::CaseInsensitiveOption)));
        QVERIFY(text.contains(QStringLiteral("double quotes")));
    }

    void ctrlWCloses() {
        openWindow();
        QTest::keyClick(browser(), Qt::Key_W, Qt::ControlModifier);
        QVERIFY(!window->isVisible());
    }
};

QTEST_MAIN(HelpWindowTest)
#include "helpwindow_test.moc"
