// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

#include <string>
#include <vector>

class QPlainTextEdit;
class QPushButton;

namespace caldrin {

// The MD5 self-test result window: the lines of the last "&Test Hash" run in a
// text box the user may scroll, select and even edit (nothing reads it back),
// with Help and Close below it on the right. Created once, hidden; Close and
// the title bar only hide it, and its text stays until the next run.
class SelfTestWindow : public QWidget {
    Q_OBJECT
public:
    explicit SelfTestWindow(QWidget* parent = nullptr);

    // Replaces the text with `lines` (8-bit text), sets the caption and shows
    // the window without blocking, in front of the others.
    void showSelfTest(const std::vector<std::string>& lines);

Q_SIGNALS:
    void helpRequested(const QString& topic);

private:
    void closeClicked();
    void helpClicked();

    bool sized_ = false;
    QPlainTextEdit* resultsEdit;
    QPushButton* closeButton;
    QPushButton* helpButton;
};

} // namespace caldrin
