// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMainWindow>
#include <QSet>
#include <QString>
#include <QUrl>

class QLineEdit;
class QTextBrowser;
class QToolBar;

namespace caldrin {

// The help viewer's window: the help file, an HTML document whose topics are
// its named anchors, in a browser with Contents, Back and Forward. Ctrl+F
// finds text (Enter for the next match, Shift+Enter the one before); Escape
// leaves the find bar, or else closes the viewer, as Ctrl+W does.
class HelpWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit HelpWindow(QWidget* parent = nullptr);

    // Reads the help file and shows its contents; false when it cannot be read.
    bool load(const QString& helpFilePath);

    // Shows `topic` and brings the window to the front. A topic that the file
    // lacks leaves the window where it was, with a note in the status bar.
    bool showTopic(const QString& topic);

    // The topic shown now: the last one asked for or followed by a link.
    QString currentTopic() const { return topic_; }

protected:
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void collectTopics();
    void fitHeadingsToPalette();
    void openFindBar();
    void findNext(bool backwards);
    void escape();
    void followSource(const QUrl& source);
    void bringToFront();

    QTextBrowser* browser_ = nullptr;
    QToolBar* findBar_ = nullptr;
    QLineEdit* findEdit_ = nullptr;
    QUrl file_;
    QSet<QString> topics_;
    QString topic_;
};

} // namespace caldrin
