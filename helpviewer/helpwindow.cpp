// SPDX-License-Identifier: GPL-3.0-or-later
#include "helpviewer/helpwindow.h"

#include "helpprotocol/helpviewerclient.h"
#include "widgets/contrast.h"

#include <QAction>
#include <QEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScrollBar>
#include <QStatusBar>
#include <QTextBlock>
#include <QTextBrowser>
#include <QToolBar>

#include <vector>

namespace caldrin {
namespace {

const QString kFallbackTitle = QStringLiteral("Caldrin Calculator Help");
constexpr int kNoteTimeoutMs = 5000;

} // namespace

HelpWindow::HelpWindow(QWidget* parent)
    : QMainWindow(parent)
    , browser_(new QTextBrowser(this)) {
    setObjectName(QStringLiteral("HelpWindow"));
    browser_->setObjectName(QStringLiteral("HelpBrowser"));
    setCentralWidget(browser_);
    resize(720, 640);

    QToolBar* tools = addToolBar(tr("Navigation"));
    tools->setObjectName(QStringLiteral("Navigation"));
    tools->setMovable(false);
    tools->addAction(tr("&Contents"), this, [this] { showTopic(helpviewer::kContentsTopic); });
    QAction* back = tools->addAction(tr("&Back"), browser_, &QTextBrowser::backward);
    QAction* forward = tools->addAction(tr("&Forward"), browser_, &QTextBrowser::forward);
    back->setShortcut(QKeySequence::Back);
    forward->setShortcut(QKeySequence::Forward);
    back->setEnabled(false);
    forward->setEnabled(false);
    connect(browser_, &QTextBrowser::backwardAvailable, back, &QAction::setEnabled);
    connect(browser_, &QTextBrowser::forwardAvailable, forward, &QAction::setEnabled);
    connect(browser_, &QTextBrowser::sourceChanged, this, &HelpWindow::followSource);

    findBar_ = new QToolBar(tr("Find"), this);
    findBar_->setObjectName(QStringLiteral("FindBar"));
    findBar_->setMovable(false);
    findEdit_ = new QLineEdit(findBar_);
    findEdit_->setObjectName(QStringLiteral("FindText"));
    findEdit_->setPlaceholderText(tr("Find in help"));
    findEdit_->setAccessibleName(tr("Find in help"));
    findEdit_->installEventFilter(this);
    findBar_->addWidget(findEdit_);
    findBar_->addAction(tr("&Next"), this, [this] { findNext(false); });
    findBar_->addAction(tr("&Previous"), this, [this] { findNext(true); });
    addToolBar(Qt::BottomToolBarArea, findBar_);
    findBar_->hide();
    connect(findEdit_, &QLineEdit::returnPressed, this, [this] { findNext(false); });

    auto* find = new QAction(tr("&Find"), this);
    find->setShortcut(QKeySequence::Find);
    connect(find, &QAction::triggered, this, &HelpWindow::openFindBar);
    auto* close = new QAction(tr("&Close"), this);
    close->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_W), QKeySequence(Qt::Key_Escape)});
    connect(close, &QAction::triggered, this, &HelpWindow::escape);
    addActions({find, close});
    statusBar();
}

void HelpWindow::openFindBar() {
    findBar_->show();
    findEdit_->setFocus(Qt::ShortcutFocusReason);
    findEdit_->selectAll();
}

// Searches from the cursor on and wraps round once, so every match is found
// whatever the user read last.
void HelpWindow::findNext(bool backwards) {
    const QString text = findEdit_->text();
    if (text.isEmpty())
        return;
    const QTextDocument::FindFlags flags =
        backwards ? QTextDocument::FindBackward : QTextDocument::FindFlags();
    if (browser_->find(text, flags))
        return;
    QTextCursor restart(browser_->document());
    restart.movePosition(backwards ? QTextCursor::End : QTextCursor::Start);
    const QTextCursor before = browser_->textCursor();
    browser_->setTextCursor(restart);
    if (!browser_->find(text, flags)) {
        browser_->setTextCursor(before);
        statusBar()->showMessage(tr("\"%1\" is not in the help.").arg(text), kNoteTimeoutMs);
    }
}

// Escape leaves the find bar when it has the keyboard, else closes the viewer.
void HelpWindow::escape() {
    if (findBar_->isVisible() && findEdit_->hasFocus()) {
        findBar_->hide();
        browser_->setFocus(Qt::ShortcutFocusReason);
        return;
    }
    close();
}

bool HelpWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == findEdit_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
            key->modifiers().testFlag(Qt::ShiftModifier)) {
            findNext(true);
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void HelpWindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        fitHeadingsToPalette();
}

// The help file colours its headings for a light page; on a dark theme they
// are made light enough to read, keeping their hue.
void HelpWindow::fitHeadingsToPalette() {
    const QColor base = browser_->palette().color(QPalette::Base);
    const QColor text = browser_->palette().color(QPalette::Text);
    struct Recolouring {
        int start;
        int end;
        QColor colour;
    };
    // Found first, changed after: a change may merge the fragments being walked.
    std::vector<Recolouring> changes;
    QTextDocument* document = browser_->document();
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        if (block.blockFormat().headingLevel() == 0)
            continue;
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QTextCharFormat format = fragment.charFormat();
            const QColor shown = format.hasProperty(QTextFormat::ForegroundBrush)
                                     ? format.foreground().color()
                                     : text;
            const QColor readable = readableOn(shown, base);
            if (readable != shown)
                changes.push_back(
                    {fragment.position(), fragment.position() + fragment.length(), readable});
        }
    }
    for (const Recolouring& change : changes) {
        QTextCursor cursor(document);
        cursor.setPosition(change.start);
        cursor.setPosition(change.end, QTextCursor::KeepAnchor);
        QTextCharFormat recoloured;
        recoloured.setForeground(change.colour);
        cursor.mergeCharFormat(recoloured);
    }
}

bool HelpWindow::load(const QString& helpFilePath) {
    const QFileInfo info(helpFilePath);
    if (!info.isFile() || !info.isReadable())
        return false;
    file_ = QUrl::fromLocalFile(info.absoluteFilePath());
    topic_ = helpviewer::kContentsTopic;
    browser_->setSource(file_, QTextDocument::HtmlResource);
    if (browser_->document()->isEmpty())
        return false;
    collectTopics();
    fitHeadingsToPalette();
    const QString title = browser_->documentTitle();
    setWindowTitle(title.isEmpty() ? kFallbackTitle : title);
    return true;
}

// The topics are the anchor names the document holds; a jump to any other
// name would scroll nowhere.
void HelpWindow::collectTopics() {
    topics_.clear();
    for (QTextBlock block = browser_->document()->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QStringList names = it.fragment().charFormat().anchorNames();
            for (const QString& name : names)
                topics_.insert(name);
        }
    }
}

bool HelpWindow::showTopic(const QString& topic) {
    const bool isContents = topic == helpviewer::kContentsTopic;
    if (!isContents && !topics_.contains(topic)) {
        statusBar()->showMessage(tr("This help file has no topic \"%1\".").arg(topic),
                                 kNoteTimeoutMs);
        bringToFront();
        return false;
    }
    QUrl target = file_;
    // A file without a contents anchor opens at its top.
    if (topics_.contains(topic))
        target.setFragment(topic);
    browser_->setSource(target, QTextDocument::HtmlResource);
    if (target.hasFragment())
        browser_->scrollToAnchor(topic);
    else
        browser_->verticalScrollBar()->setValue(0);
    topic_ = topic;
    bringToFront();
    return true;
}

void HelpWindow::followSource(const QUrl& source) {
    // A jump may have read the file afresh, with the file's own colours.
    fitHeadingsToPalette();
    const QString fragment = source.fragment();
    if (fragment.isEmpty())
        topic_ = helpviewer::kContentsTopic;
    else if (topics_.contains(fragment))
        topic_ = fragment;
}

void HelpWindow::bringToFront() {
    if (isMinimized())
        showNormal();
    show();
    raise();
    activateWindow();
}

} // namespace caldrin
