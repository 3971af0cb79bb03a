// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/printtext.h"
#include "report/reportwindow.h"
#include "report_core/reporttext.h"
#include "widgets/contrast.h"

#include "fakeplatform.h"

#include <QAccessible>
#include <QDir>
#include <QFile>
#include <QPageLayout>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>
#include <sys/stat.h>

#include <cmath>
#include <csignal>
#include <map>
#include <memory>

namespace caldrin {
namespace {

const QString kHashedLine =
    QStringLiteral("Hashed identifier   :   0123456789abcdef0123456789abcdef");

ReportSources episode() {
    ReportSources s;
    s.patient = {"Ren\xE9 Dupont",
                 "A-77",
                 "01/02/1950",
                 "15/06/2026",
                 "0123456789abcdef0123456789abcdef",
                 "0",
                 "1"};
    s.factorPoints = {"2", "1", "4", "1", "2", "1", "1", "2", "4",
                      "1", "4", "1", "4", "1", "2", "8", "1", "4"};
    s.physiologicalScore = "24";
    s.operativeScore = "20";
    s.risks = {" 32.30%", " 85.07%", " 19.47%", " 30.93%", "100.00%"};
    return s;
}

QStringList reportLines() {
    QStringList lines;
    for (const std::string& line : ComposeReport(episode()))
        lines << QString::fromLatin1(line); // Latin-1 and Windows-1252 agree on these bytes
    return lines;
}

QString reportText() {
    return reportLines().join(QLatin1Char('\n')) + QLatin1Char('\n');
}

QByteArray reportBytes() {
    return QByteArray::fromStdString(joinWithCrLf(ComposeReport(episode())));
}

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "<cannot read " + path.toLocal8Bit() + ">";
    return file.readAll();
}

// What a page shows: each printed line with the spaces before its first
// character, trailing blanks dropped.
QStringList asPrinted(const QStringList& lines, int indent = 10) {
    QStringList printed;
    for (const QString& line : lines) {
        QString shown = QString(indent, QLatin1Char(' ')) + line;
        while (shown.endsWith(QLatin1Char(' ')))
            shown.chop(1);
        printed << shown;
    }
    while (!printed.isEmpty() && printed.constLast().isEmpty())
        printed.removeLast();
    return printed;
}

// The printable area of the printer that the report window prints on, in points.
QRectF printableArea() {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    return printer.pageLayout().paintRect(QPageLayout::Point);
}

struct PrintedPdf {
    QList<QStringList> pages;  // the lines of each page, as in asPrinted
    double characterWidth = 0; // points
    double lineSpacing = 0;    // points
};

// Reads back what was printed into a PDF: the position of every word, from
// pdftotext, turned into the columns and rows of a fixed-pitch page.
PrintedPdf readPrintedPdf(const QString& pdf) {
    PrintedPdf result;
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (tool.isEmpty()) {
        QTest::qFail("pdftotext (poppler-utils) is needed to read what was printed", __FILE__,
                     __LINE__);
        return result;
    }
    QProcess process;
    process.start(tool, {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
    if (!process.waitForFinished() || process.exitCode() != 0) {
        QTest::qFail("pdftotext could not read the printed file", __FILE__, __LINE__);
        return result;
    }
    const QString html = QString::fromUtf8(process.readAllStandardOutput());

    struct Word {
        double x, y;
        QString text;
    };
    QList<QList<Word>> pages;
    static const QRegularExpression item(QStringLiteral(
        R"re(<page |<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="[\d.]+">([^<]*)</word>)re"));
    double minGap = 0;
    for (auto it = item.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        if (m.captured(0) == QLatin1String("<page ")) {
            pages.append(QList<Word>());
            continue;
        }
        QString text = m.captured(4);
        text.replace(QLatin1String("&lt;"), QLatin1String("<"))
            .replace(QLatin1String("&gt;"), QLatin1String(">"))
            .replace(QLatin1String("&quot;"), QLatin1String("\""))
            .replace(QLatin1String("&amp;"), QLatin1String("&"));
        const double xMin = m.captured(1).toDouble();
        const double xMax = m.captured(3).toDouble();
        const Word word{xMin, m.captured(2).toDouble(), text};
        if (result.characterWidth == 0)
            result.characterWidth = (xMax - xMin) / text.size();
        for (const Word& other : std::as_const(pages.last())) {
            const double gap = std::abs(other.y - word.y);
            if (gap > 1 && (minGap == 0 || gap < minGap))
                minGap = gap;
        }
        pages.last().append(word);
    }
    result.lineSpacing = minGap;

    const QRectF area = printableArea();
    for (const QList<Word>& words : std::as_const(pages)) {
        std::map<int, std::map<int, QString>> cells; // row, column: word
        for (const Word& word : words) {
            const int row = int(std::lround((word.y - area.top()) / result.lineSpacing));
            const int column = int(std::lround((word.x - area.left()) / result.characterWidth));
            cells[row][column] = word.text;
        }
        std::map<int, QString> rows;
        for (const auto& [row, columns] : cells) {
            QString& line = rows[row];
            for (const auto& [column, text] : columns) {
                if (line.size() < column)
                    line += QString(column - line.size(), QLatin1Char(' '));
                line += text;
            }
        }
        QStringList lines;
        for (const auto& [row, text] : rows) {
            while (lines.size() < row)
                lines << QString();
            lines << text;
        }
        result.pages << lines;
    }
    return result;
}

// Types `text` as a keyboard would, whatever its characters.
void type(QWidget* widget, const QString& text) {
    for (const QChar c : text)
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

QStringList numberedLines(int count) {
    QStringList lines;
    for (int i = 1; i <= count; ++i)
        lines << QStringLiteral("Line %1 of the box").arg(i, 3, 10, QLatin1Char('0'));
    return lines;
}

// A printer whose driver gives up when asked for a second page.
class PrinterFailingOnNewPage : public QPrinter {
public:
    using QPrinter::QPrinter;
    bool newPage() override { return false; }
};

} // namespace

class ReportWindowTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<testing::FakePlatform> platform;
    std::unique_ptr<ReportWindow> form;
    std::unique_ptr<QTemporaryDir> dir;

    QPlainTextEdit* memo() const {
        return form->findChild<QPlainTextEdit*>(QStringLiteral("Memo1"));
    }
    QPushButton* button(const char* name) const {
        return form->findChild<QPushButton*>(QString::fromLatin1(name));
    }
    QString path(const QString& name) const { return dir->filePath(name); }

    void openReport() {
        form->fillReport(episode());
        form->showReport();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    }

    void click(const char* name) { QTest::mouseClick(button(name), Qt::LeftButton); }

    // Presses Save As and answers the dialog with `file`.
    void saveAs(const QString& file) {
        platform->saveAnswers.push_back(file);
        click("Button1");
    }

    // Presses Print and prints into `pdf`.
    PrintedPdf print(const QString& pdf) {
        platform->printAnswers.push_back(pdf);
        click("Button2");
        return readPrintedPdf(pdf);
    }

private Q_SLOTS:
    void init() {
        platform = std::make_unique<testing::FakePlatform>();
        form = std::make_unique<ReportWindow>(*platform);
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
    }

    void cleanup() {
        form.reset();
        platform.reset();
        dir.reset();
    }

    void theWindowHasItsBoxAndButtons() {
        openReport();
        QCOMPARE(form->windowTitle(), QStringLiteral("Caldrin Report"));
        const Qt::WindowFlags flags = form->windowFlags();
        QVERIFY(flags & Qt::WindowTitleHint);
        QVERIFY(!(flags & (Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                           Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));

        QPlainTextEdit* box = memo();
        QVERIFY(box);
        QCOMPARE(box->font().family(), QStringLiteral("Courier"));
        QCOMPARE(box->font().pointSize(), 12);
        QVERIFY(QFontInfo(box->font()).fixedPitch());
        QCOMPARE(box->palette().color(QPalette::Text), QColor(Qt::black));
        QVERIFY(!box->isReadOnly());
        QCOMPARE(box->lineWrapMode(), QPlainTextEdit::WidgetWidth);
        QCOMPARE(box->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        QVERIFY(box->verticalScrollBarPolicy() != Qt::ScrollBarAlwaysOff);
        // Opened at its first size, no report line wraps.
        QCOMPARE(shownLines(*box), reportLines());

        const std::map<const char*, QString> captions{{"Button1", QStringLiteral("Save &As")},
                                                      {"Button3", QStringLiteral("C&opy")},
                                                      {"Button2", QStringLiteral("&Print")},
                                                      {"BitBtn2", QStringLiteral("&Help")},
                                                      {"BitBtn1", QStringLiteral("&Close")}};
        for (const auto& [name, caption] : captions) {
            QVERIFY2(button(name), name);
            QCOMPARE(button(name)->text(), caption);
            QVERIFY(button(name)->geometry().left() > box->geometry().right());
        }
        // Save As, Copy, Print at the top of the column; Help and Close at its foot.
        const auto top = [this](const char* name) { return button(name)->geometry().top(); };
        QVERIFY(top("Button1") < top("Button3"));
        QVERIFY(top("Button3") < top("Button2"));
        QVERIFY(top("Button2") < top("BitBtn2"));
        QVERIFY(top("BitBtn2") < top("BitBtn1"));
        QVERIFY(top("Button1") - box->geometry().top() < button("Button1")->height());
        QVERIFY(box->geometry().bottom() - button("BitBtn1")->geometry().bottom() <
                button("BitBtn1")->height());
    }

    // Black on a light base, as ever (see above); on a dark theme the text must
    // still read.
    void theReportReadsOnADarkTheme() {
        const QPalette original = QApplication::palette();
        QPalette dark = original;
        dark.setColor(QPalette::Base, QColor(0x2a, 0x2a, 0x2a));
        dark.setColor(QPalette::Text, QColor(0xee, 0xee, 0xee));
        dark.setColor(QPalette::Window, QColor(0x35, 0x35, 0x35));
        QApplication::setPalette(dark);
        const auto contrastOf = [](const QPlainTextEdit* box) {
            return contrastRatio(box->palette().color(QPalette::Text),
                                 box->palette().color(QPalette::Base));
        };
        // Switched while the window exists...
        openReport();
        const double switched = contrastOf(memo());
        // ...and a window made under the dark theme.
        ReportWindow fresh(*platform);
        const double madeDark = contrastOf(fresh.findChild<QPlainTextEdit*>("Memo1"));
        QApplication::setPalette(original);
        QVERIFY2(switched >= kReadableContrast, QByteArray::number(switched));
        QVERIFY2(madeDark >= kReadableContrast, QByteArray::number(madeDark));
    }

    void theReportBoxHasANameForScreenReaders() {
        QAccessibleInterface* box = QAccessible::queryAccessibleInterface(memo());
        QCOMPARE(box->text(QAccessible::Name), QStringLiteral("Report"));
    }

    void tabGoesBoxCloseSaveAsPrintCopyHelp() {
        openReport();
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        memo()->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), memo());
        for (const char* name : {"BitBtn1", "Button1", "Button2", "Button3", "BitBtn2"}) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), button(name));
        }
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), memo());
    }

    void composingReplacesTheBoxWithTheReport() {
        openReport();
        QTest::keyClicks(memo(), QStringLiteral("edited"));
        form->fillReport(episode());
        form->fillReport(episode());
        QCOMPARE(memo()->toPlainText(), reportText());
        QCOMPARE(textLines(*memo()).size(), qsizetype(kReportLineCount));
    }

    void saveAsWritesTheBoxAsWindows1252WithCrLf_data() {
        QTest::addColumn<QByteArray>("existing");
        QTest::newRow("new file") << QByteArray();
        QTest::newRow("longer file replaced") << QByteArray(20000, 'x');
        QTest::newRow("shorter file replaced") << QByteArray("old\r\n");
    }
    void saveAsWritesTheBoxAsWindows1252WithCrLf() {
        QFETCH(QByteArray, existing);
        openReport();
        const QString file = path(QStringLiteral("report.txt"));
        if (!existing.isEmpty()) {
            QFile old(file);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write(existing);
        }

        saveAs(file);

        QCOMPARE(fileBytes(file), reportBytes());
        QVERIFY(fileBytes(file).contains("Name                :   Ren\xE9 Dupont\r\n"));
        QVERIFY(platform->messages.empty());
        QVERIFY(form->isVisible());
        QCOMPARE(platform->saveRequests.size(), std::size_t(1));
        const SaveFileRequest& request = platform->saveRequests.front();
        QCOMPARE(request.filters, (QStringList{QStringLiteral("Text files (*.TXT) (*.TXT)"),
                                               QStringLiteral("All files (*.*) (*)")}));
        QCOMPARE(request.selectedFilter, 0);
        QCOMPARE(request.defaultSuffix, QStringLiteral("txt"));
        QCOMPARE(request.suggestedName, QStringLiteral("Caldrin report 2026-06-15.txt"));
        QVERIFY(request.purpose == FilePurpose::Report);
    }

    // A write that fails half-way (here the file-size limit, which holds for
    // root as for anyone, standing in for a full disk) must leave the earlier
    // file whole and be reported.
    void aFailedSaveKeepsTheEarlierFileWhole() {
        openReport();
        const QString file = path(QStringLiteral("report.txt"));
        const QByteArray earlier = QByteArray("earlier report, kept\r\n").repeated(10);
        {
            QFile old(file);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write(earlier);
        }
        rlimit saved{};
        QVERIFY(getrlimit(RLIMIT_FSIZE, &saved) == 0);
        const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved;
        small.rlim_cur = 100;
        QVERIFY(setrlimit(RLIMIT_FSIZE, &small) == 0);
        saveAs(file);
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previousHandler);

        QCOMPARE(platform->messageTexts(),
                 QStringList{QStringLiteral("Cannot write file ") + file + "."});
        QVERIFY(platform->messages.front().isError);
        QCOMPARE(fileBytes(file), earlier);
        // Nothing half-written is left beside it.
        QCOMPARE(QDir(dir->path()).entryList(QDir::Files),
                 QStringList{QStringLiteral("report.txt")});
    }

    // A new report file is readable by its owner alone; a file that existed
    // keeps the mode its owner gave it.
    void savedReportsAreCreatedPrivate() {
        openReport();
        const QString fresh = path(QStringLiteral("new.txt"));
        saveAs(fresh);
        struct stat status {};
        QCOMPARE(stat(QFile::encodeName(fresh).constData(), &status), 0);
        QCOMPARE(status.st_mode & 07777, mode_t(0600));

        const QString shared = path(QStringLiteral("shared.txt"));
        {
            QFile old(shared);
            QVERIFY(old.open(QIODevice::WriteOnly));
        }
        QCOMPARE(chmod(QFile::encodeName(shared).constData(), 0644), 0);
        saveAs(shared);
        QCOMPARE(stat(QFile::encodeName(shared).constData(), &status), 0);
        QCOMPARE(status.st_mode & 07777, mode_t(0644));
        QCOMPARE(fileBytes(shared), reportBytes());
        QVERIFY(platform->messages.empty());
    }

    void savingEndsEveryLineOnce_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("saved");
        QTest::addColumn<int>("printedLines");
        QTest::newRow("empty box") << QString() << QByteArray() << 0;
        QTest::newRow("no final line break")
            << QStringLiteral("a\nb") << QByteArray("a\r\nb\r\n") << 2;
        QTest::newRow("final line break")
            << QStringLiteral("a\nb\n") << QByteArray("a\r\nb\r\n") << 2;
        QTest::newRow("last line empty") << QStringLiteral("a\n\n") << QByteArray("a\r\n\r\n") << 2;
        QTest::newRow("only empty lines") << QStringLiteral("\n\n") << QByteArray("\r\n\r\n") << 2;
    }
    void savingEndsEveryLineOnce() {
        QFETCH(QString, text);
        QFETCH(QByteArray, saved);
        QFETCH(int, printedLines);
        openReport();
        memo()->setPlainText(text);
        const QString file = path(QStringLiteral("lines.txt"));
        saveAs(file);
        QCOMPARE(fileBytes(file), saved);
        QCOMPARE(shownLines(*memo()).size(), qsizetype(printedLines));
    }

    void saveFailuresReachTheErrorHandler_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("message");
        QTest::newRow("missing folder")
            << QStringLiteral("<dir>/missing/report.txt")
            << QStringLiteral("Cannot create file <dir>/missing/report.txt.");
        QTest::newRow("a folder") << QStringLiteral("<dir>")
                                  << QStringLiteral("Cannot create file <dir>.");
        QTest::newRow("disk full")
            << QStringLiteral("/dev/full") << QStringLiteral("Cannot write file /dev/full.");
    }
    void saveFailuresReachTheErrorHandler() {
        QFETCH(QString, file);
        QFETCH(QString, message);
        file.replace(QLatin1String("<dir>"), dir->path());
        message.replace(QLatin1String("<dir>"), dir->path());
        openReport();
        QTest::keyClicks(memo(), QStringLiteral("typed "));
        const QString before = memo()->toPlainText();

        saveAs(file);

        QCOMPARE(platform->messageTexts(), QStringList{message});
        QVERIFY(platform->messages.front().isError);
        QCOMPARE(memo()->toPlainText(), before);
        QVERIFY(form->isVisible());
        QVERIFY(!QFile::exists(path(QStringLiteral("missing"))));
    }

    void saveRefusesCharactersThatWindows1252Lacks() {
        openReport();
        const QString file = path(QStringLiteral("report.txt"));
        saveAs(file);
        memo()->moveCursor(QTextCursor::End);
        type(memo(), QStringLiteral("Seen \u03A9"));
        const QString before = memo()->toPlainText();

        // No file dialog is expected: the fake fails the test if one opens.
        click("Button1");

        QCOMPARE(platform->messageTexts(),
                 QStringList{QStringLiteral("Cannot save the report: the character \"\u03A9\" "
                                            "has no place in a Windows-1252 text file.")});
        QVERIFY(platform->messages.front().isError);
        QCOMPARE(fileBytes(file), reportBytes());
        QCOMPARE(memo()->toPlainText(), before);
    }

    void cancellingTheDialogsChangesNothing() {
        openReport();
        platform->saveAnswers.push_back(std::nullopt);
        click("Button1");
        platform->printAnswers.push_back(std::nullopt);
        click("Button2");

        QVERIFY(platform->messages.empty());
        QVERIFY(QDir(dir->path()).isEmpty());
        QCOMPARE(memo()->toPlainText(), reportText());
        QVERIFY(form->isVisible());
    }

    void typedTextIsSavedCopiedAndPrinted() {
        openReport();
        memo()->moveCursor(QTextCursor::Start);
        type(memo(), QStringLiteral("Seen by Dr \u00C5se"));
        QTest::keyClick(memo(), Qt::Key_Return);

        const QString file = path(QStringLiteral("typed.txt"));
        saveAs(file);
        QCOMPARE(fileBytes(file), "Seen by Dr \xC5se\r\n" + reportBytes());

        click("Button3");
        QCOMPARE(platform->clipboardText, QStringLiteral("Seen by Dr \u00C5se\n") + reportText());

        const PrintedPdf printed = print(path(QStringLiteral("typed.pdf")));
        QCOMPARE(printed.pages.size(), qsizetype(1));
        QCOMPARE(printed.pages.front(),
                 asPrinted(QStringList{QStringLiteral("Seen by Dr \u00C5se")} + reportLines()));
        QVERIFY(platform->messages.empty());
    }

    void copyTakesTheWholeTextAndLeavesItSelected() {
        openReport();
        memo()->moveCursor(QTextCursor::End);
        click("Button3");
        QCOMPARE(platform->clipboardText, reportText());
        const QTextCursor cursor = memo()->textCursor();
        QCOMPARE(cursor.selectionStart(), 0);
        QCOMPARE(cursor.selectionEnd(), memo()->document()->characterCount() - 1);
    }

    void printIndentsEveryLineByTenSpaces() {
        openReport();
        QCOMPARE(shownLines(*memo()).size(), qsizetype(kReportLineCount));

        const PrintedPdf printed = print(path(QStringLiteral("report.pdf")));

        QVERIFY(platform->messages.empty());
        QCOMPARE(printed.pages.size(), qsizetype(1));
        QCOMPARE(printed.pages.front(), asPrinted(reportLines()));
        // Courier at 12 points: 0.6 of the size per character.
        QVERIFY2(std::abs(printed.characterWidth - 7.2) < 0.1,
                 qPrintable(QString::number(printed.characterWidth)));
    }

    void printShowsAWrappedLineAsItsPieces() {
        openReport();
        // Narrow the box to about 40 characters: wider than the identifier,
        // narrower than its line.
        const int characterWidth = QFontMetrics(memo()->font()).horizontalAdvance(QLatin1Char('M'));
        const int narrower = memo()->viewport()->width() - 40 * characterWidth;
        form->resize(form->width() - narrower, form->height());
        QTRY_VERIFY(memo()->viewport()->width() < 45 * characterWidth);

        const PrintedPdf printed = print(path(QStringLiteral("narrow.pdf")));

        QStringList expected = reportLines();
        const qsizetype hashed = expected.indexOf(kHashedLine);
        QVERIFY(hashed > 0);
        expected.replace(hashed, QStringLiteral("Hashed identifier   :"));
        expected.insert(hashed + 1, QStringLiteral("0123456789abcdef0123456789abcdef"));
        QCOMPARE(printed.pages.front(), asPrinted(expected));

        const QString file = path(QStringLiteral("narrow.txt"));
        saveAs(file);
        QCOMPARE(fileBytes(file), reportBytes());
        click("Button3");
        QVERIFY(platform->clipboardText.contains(kHashedLine + QLatin1Char('\n')));
    }

    void printStartsANewPageWhenOneIsFull() {
        openReport();
        const QStringList lines = numberedLines(100);
        memo()->setPlainText(lines.join(QLatin1Char('\n')) + QLatin1Char('\n'));

        const PrintedPdf printed = print(path(QStringLiteral("long.pdf")));

        QCOMPARE(printed.pages.size(), qsizetype(2));
        QCOMPARE(printed.pages[0] + printed.pages[1], asPrinted(lines));
        // The first page is full: one more line would not have fitted.
        const double height = printableArea().height();
        const auto firstPage = printed.pages[0].size();
        QVERIFY(firstPage * printed.lineSpacing <= height + 0.5);
        QVERIFY((firstPage + 1) * printed.lineSpacing > height);
    }

    void aPrinterThatCannotBeOpenedReachesTheErrorHandler() {
        openReport();
        const QString pdf = path(QStringLiteral("missing/report.pdf"));
        QTest::ignoreMessage(QtWarningMsg, "QPainter::begin(): Returned false");
        platform->printAnswers.push_back(pdf);
        click("Button2");

        QCOMPARE(platform->messageTexts(),
                 QStringList{QStringLiteral("Cannot print to ") + pdf + "."});
        QVERIFY(platform->messages.front().isError);
        QVERIFY(!QFile::exists(pdf));
        QCOMPARE(memo()->toPlainText(), reportText());
        QVERIFY(form->isVisible());

        // The next print works.
        const PrintedPdf printed = print(path(QStringLiteral("again.pdf")));
        QCOMPARE(printed.pages.front(), asPrinted(reportLines()));
    }

    void aFailureMidJobStopsPrintingAndEndsTheJob() {
        const QString pdf = path(QStringLiteral("failing.pdf"));
        PrinterFailingOnNewPage printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        const QStringList lines = numberedLines(100);

        const std::optional<QString> failure =
            printLines(printer, QFont(QStringLiteral("Courier"), 12), lines, 10);

        QCOMPARE(failure, std::optional<QString>(QStringLiteral("Printing failed on ") + pdf));
        // The job was ended with the first page; nothing after the failure.
        const PrintedPdf printed = readPrintedPdf(pdf);
        QCOMPARE(printed.pages.size(), qsizetype(1));
        QVERIFY(printed.pages.front().size() > 40);
        QCOMPARE(printed.pages.front(), asPrinted(lines.first(printed.pages.front().size())));
    }

    void helpAsksForTheCreateTopicAndCloseHides() {
        openReport();
        QSignalSpy help(form.get(), &ReportWindow::helpRequested);
        click("BitBtn2");
        QCOMPARE(help.size(), 1);
        QCOMPARE(help.front().front().toString(), QStringLiteral("create"));
        QVERIFY(platform->helpCalls.empty());

        click("BitBtn1");
        QVERIFY(!form->isVisible());
        form->showReport();
        QVERIFY(form->isVisible());
        QCOMPARE(memo()->toPlainText(), reportText());
    }
};

} // namespace caldrin

QTEST_MAIN(caldrin::ReportWindowTest)
#include "reportwindow_test.moc"
