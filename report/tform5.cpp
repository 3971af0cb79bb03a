#include "report/tform5.h"

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

TForm5::TForm5(Platform& platform, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
    , platform_(platform) {
    setObjectName(QStringLiteral("TForm5"));
    setWindowTitle(QStringLiteral("Caldrin Report"));

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setAccessibleName(QStringLiteral("Report"));
    fitTextColour();
    Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Memo1->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Tab moves on to the buttons, as in any other box of the program.
    Memo1->setTabChangesFocus(true);
    Button1 = makeButton(QStringLiteral("Button1"), QStringLiteral("Save &As"), this);
    Button3 = makeButton(QStringLiteral("Button3"), QStringLiteral("C&opy"), this);
    Button2 = makeButton(QStringLiteral("Button2"), QStringLiteral("&Print"), this);
    BitBtn2 = makeButton(QStringLiteral("BitBtn2"), QStringLiteral("&Help"), this);
    BitBtn1 = makeButton(QStringLiteral("BitBtn1"), QStringLiteral("&Close"), this);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(Button1);
    buttons->addWidget(Button3);
    buttons->addWidget(Button2);
    buttons->addStretch(1);
    buttons->addWidget(BitBtn2);
    buttons->addWidget(BitBtn1);

    auto* layout = new QHBoxLayout(this);
    layout->addWidget(Memo1, 1);
    layout->addLayout(buttons);

    setTabOrder(Memo1, BitBtn1);
    setTabOrder(BitBtn1, Button1);
    setTabOrder(Button1, Button2);
    setTabOrder(Button2, Button3);
    setTabOrder(Button3, BitBtn2);

    connect(Button1, &QPushButton::clicked, this, &TForm5::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TForm5::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &TForm5::Button3Click);
    connect(BitBtn2, &QPushButton::clicked, this, &TForm5::BitBtn2Click);
    connect(BitBtn1, &QPushButton::clicked, this, &QWidget::hide);
}

// The report is black text where the theme's base is light; on a dark theme
// black would vanish, so the text takes a colour that reads on that base.
void TForm5::fitTextColour() {
    QPalette palette = Memo1->palette();
    palette.setColor(QPalette::Text, readableOn(Qt::black, this->palette().color(QPalette::Base)));
    Memo1->setPalette(palette);
}

void TForm5::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        fitTextColour();
}

// Finding and loading the fixed-pitch font is the dearest part of this window,
// so it waits for the first report instead of slowing every start of the program.
void TForm5::prepareFont() {
    if (fontPrepared_)
        return;
    fontPrepared_ = true;
    QFont font(QStringLiteral("Courier"), 12);
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    Memo1->setFont(font);

    const QFontMetrics metrics(Memo1->font());
    const QLayout* frame = layout();
    const int memoWidth = metrics.horizontalAdvance(QString(kShownColumns, QLatin1Char('M'))) +
                          Memo1->verticalScrollBar()->sizeHint().width() + 2 * Memo1->frameWidth() +
                          2 * int(Memo1->document()->documentMargin());
    resize(memoWidth + frame->spacing() + Button1->sizeHint().width() +
               frame->contentsMargins().left() + frame->contentsMargins().right(),
           metrics.lineSpacing() * kShownRows);
}

void TForm5::ComposeReport(const ReportSources& sources) {
    prepareFont();
    QString text;
    for (const std::string& line : caldrin::ComposeReport(sources))
        text += fromCp1252Bytes(line) + QLatin1Char('\n');
    Memo1->setPlainText(text);
}

void TForm5::showReport() {
    prepareFont();
    show();
    raise();
    activateWindow();
}

void TForm5::Button1Click() {
    const QStringList lines = TextLines(*Memo1);
    const QString text = lines.join(QLatin1Char('\n'));
    // The user can type anything into the box; a character that Windows-1252
    // lacks would be lost or replaced in the file, so nothing is written.
    if (!isCp1252Text(text)) {
        HandleApplicationError(platform_, this,
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
    const std::string content = JoinWithCrLf(bytes);

    switch (saveWholeFile(*path, content)) {
    case SaveResult::Saved:
        break;
    case SaveResult::CannotCreate:
        HandleApplicationError(platform_, this, QStringLiteral("Cannot create file ") + *path);
        break;
    case SaveResult::CannotWrite:
        HandleApplicationError(platform_, this, QStringLiteral("Cannot write file ") + *path);
        break;
    }
}

void TForm5::Button2Click() {
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(windowTitle());
    if (const auto failure = PrintTextLines(*Memo1, platform_, this, printer, kPrintIndent))
        HandleApplicationError(platform_, this, *failure);
}

void TForm5::Button3Click() {
    Memo1->selectAll();
    QString text = Memo1->document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    text.replace(QChar::LineSeparator, QLatin1Char('\n'));
    platform_.setClipboardText(text);
}

void TForm5::BitBtn2Click() {
    Q_EMIT helpRequested(QStringLiteral("create"));
}

} // namespace caldrin
