// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/reportwindow.h"

#include "platform/platform.h"
#include "report/errorhandler.h"
#include "report/printtext.h"
#include "widgets/contrast.h"
#include "widgets/textedge.h"

#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollBar>
#include <QVBoxLayout>

namespace caldrin {

namespace {

constexpr unsigned kPrintIndent = 10;
// Wide enough that no report line wraps when the window opens.
constexpr int kShownColumns = 60;
constexpr int kShownRows = 30;

QPushButton* makeButton(const QString& name, const QString& caption, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    return button;
}

// The first character of `text` that a Windows-1252 file cannot hold.
QString firstUnwritable(const QString& text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype length = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QString character = text.mid(i, length);
        if (!isCp1252Text(character))
            return character;
        i += length - 1;
    }
    return {};
}

enum class SaveResult { Saved, CannotCreate, CannotWrite };

// Writes `content` as the whole of the file at `path`. A regular file is
// written beside itself and put in place only once complete, so a failed
// write (a full disk, say) leaves the earlier file as it was. A file that did
// not exist is made readable by its owner alone: reports name patients.
SaveResult saveWholeFile(const QString& path, const std::string& content) {
    const auto size = qint64(content.size());
    const QFileInfo target(path);
    // A device or a pipe cannot be replaced, only written into.
    if (target.exists() && !target.isFile() && !target.isDir()) {
        QFile device(path);
        if (!device.open(QIODevice::WriteOnly))
            return SaveResult::CannotCreate;
        const bool written = device.write(content.data(), size) == size;
        return device.flush() && written ? SaveResult::Saved : SaveResult::CannotWrite;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return SaveResult::CannotCreate;
    if (!target.exists() &&
        !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        file.cancelWriting();
        return SaveResult::CannotCreate;
    }
    // commit() does not see a failure of the buffer's last flush, so the
    // flush is checked here, before the file can be put in place.
    if (file.write(content.data(), size) != size || !file.flush()) {
        file.cancelWriting();
        return SaveResult::CannotWrite;
    }
    return file.commit() ? SaveResult::Saved : SaveResult::CannotWrite;
}

} // namespace

ReportWindow::ReportWindow(Platform& platform, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
    , platform_(platform) {
    setObjectName(QStringLiteral("TForm5"));
    setWindowTitle(QStringLiteral("Caldrin Report"));

    reportEdit = new QPlainTextEdit(this);
    reportEdit->setObjectName(QStringLiteral("Memo1"));
    reportEdit->setAccessibleName(QStringLiteral("Report"));
    fitTextColour();
    reportEdit->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    reportEdit->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    reportEdit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    reportEdit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Tab moves on to the buttons, as in any other box of the program.
    reportEdit->setTabChangesFocus(true);
    saveAsButton = makeButton(QStringLiteral("Button1"), QStringLiteral("Save &As"), this);
    copyButton = makeButton(QStringLiteral("Button3"), QStringLiteral("C&opy"), this);
    printButton = makeButton(QStringLiteral("Button2"), QStringLiteral("&Print"), this);
    helpButton = makeButton(QStringLiteral("BitBtn2"), QStringLiteral("&Help"), this);
    closeButton = makeButton(QStringLiteral("BitBtn1"), QStringLiteral("&Close"), this);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(saveAsButton);
    buttons->addWidget(copyButton);
    buttons->addWidget(printButton);
    buttons->addStretch(1);
    buttons->addWidget(helpButton);
    buttons->addWidget(closeButton);

    auto* layout = new QHBoxLayout(this);
    layout->addWidget(reportEdit, 1);
    layout->addLayout(buttons);

    setTabOrder(reportEdit, closeButton);
    setTabOrder(closeButton, saveAsButton);
    setTabOrder(saveAsButton, printButton);
    setTabOrder(printButton, copyButton);
    setTabOrder(copyButton, helpButton);

    connect(saveAsButton, &QPushButton::clicked, this, &ReportWindow::saveAsClicked);
    connect(printButton, &QPushButton::clicked, this, &ReportWindow::printClicked);
    connect(copyButton, &QPushButton::clicked, this, &ReportWindow::copyClicked);
    connect(helpButton, &QPushButton::clicked, this, &ReportWindow::helpClicked);
    connect(closeButton, &QPushButton::clicked, this, &QWidget::hide);
}

// The report is black text where the theme's base is light; on a dark theme
// black would vanish, so the text takes a colour that reads on that base.
void ReportWindow::fitTextColour() {
    QPalette palette = reportEdit->palette();
    palette.setColor(QPalette::Text, readableOn(Qt::black, this->palette().color(QPalette::Base)));
    reportEdit->setPalette(palette);
}

void ReportWindow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        fitTextColour();
}

// Finding and loading the fixed-pitch font is the dearest part of this window,
// so it waits for the first report instead of slowing every start of the program.
void ReportWindow::prepareFont() {
    if (fontPrepared_)
        return;
    fontPrepared_ = true;
    QFont font(QStringLiteral("Courier"), 12);
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    reportEdit->setFont(font);

    const QFontMetrics metrics(reportEdit->font());
    const QLayout* frame = layout();
    const int memoWidth = metrics.horizontalAdvance(QString(kShownColumns, QLatin1Char('M'))) +
                          reportEdit->verticalScrollBar()->sizeHint().width() +
                          2 * reportEdit->frameWidth() +
                          2 * int(reportEdit->document()->documentMargin());
    resize(memoWidth + frame->spacing() + saveAsButton->sizeHint().width() +
               frame->contentsMargins().left() + frame->contentsMargins().right(),
           metrics.lineSpacing() * kShownRows);
}

void ReportWindow::fillReport(const ReportSources& sources) {
    prepareFont();
    QString text;
    for (const std::string& line : ComposeReport(sources))
        text += fromCp1252Bytes(line) + QLatin1Char('\n');
    reportEdit->setPlainText(text);
}

void ReportWindow::showReport() {
    prepareFont();
    show();
    raise();
    activateWindow();
}

void ReportWindow::saveAsClicked() {
    const QStringList lines = textLines(*reportEdit);
    const QString text = lines.join(QLatin1Char('\n'));
    // The user can type anything into the box; a character that Windows-1252
    // lacks would be lost or replaced in the file, so nothing is written.
    if (!isCp1252Text(text)) {
        handleApplicationError(platform_, this,
                               QStringLiteral("Cannot save the report: the character \"%1\" has "
                                              "no place in a Windows-1252 text file")
                                   .arg(firstUnwritable(text)));
        return;
    }

    SaveFileRequest request;
    // The dialog shows "Text files (*.TXT)" and "All files (*.*)"; the last
    // brackets hold the patterns, and "All files" means every name, dotted or not.
    request.filters = QStringList{QStringLiteral("Text files (*.TXT) (*.TXT)"),
                                  QStringLiteral("All files (*.*) (*)")};
    request.selectedFilter = 0;
    request.defaultSuffix = QStringLiteral("txt");
    request.suggestedName = QStringLiteral("Caldrin report %1.txt")
                                .arg(platform_.today().toString(QStringLiteral("yyyy-MM-dd")));
    request.purpose = FilePurpose::Report;
    const std::optional<QString> path = platform_.chooseFileToSave(this, request);
    if (!path)
        return;

    std::vector<std::string> bytes;
    bytes.reserve(std::size_t(lines.size()));
    for (const QString& line : lines)
        bytes.push_back(toCp1252Bytes(line));
    const std::string content = joinWithCrLf(bytes);

    switch (saveWholeFile(*path, content)) {
    case SaveResult::Saved:
        break;
    case SaveResult::CannotCreate:
        handleApplicationError(platform_, this, QStringLiteral("Cannot create file ") + *path);
        break;
    case SaveResult::CannotWrite:
        handleApplicationError(platform_, this, QStringLiteral("Cannot write file ") + *path);
        break;
    }
}

void ReportWindow::printClicked() {
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(windowTitle());
    if (const auto failure = PrintTextLines(*reportEdit, platform_, this, printer, kPrintIndent))
        handleApplicationError(platform_, this, *failure);
}

void ReportWindow::copyClicked() {
    reportEdit->selectAll();
    QString text = reportEdit->document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    text.replace(QChar::LineSeparator, QLatin1Char('\n'));
    platform_.setClipboardText(text);
}

void ReportWindow::helpClicked() {
    Q_EMIT helpRequested(QStringLiteral("create"));
}

} // namespace caldrin
