#include "helpviewer/helpwindow.h"

#include "helpprotocol/helpviewerclient.h"

#include <QFileInfo>
#include <QScrollBar>
#include <QStatusBar>
#include <QTextBlock>
#include <QTextBrowser>
#include <QToolBar>

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
    statusBar();
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
