// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "report_core/reporttext.h"

#include <QWidget>

class QPlainTextEdit;
class QPushButton;

namespace caldrin {

class Platform;

// The report window: the composed report in an editable fixed-pitch box, with
// Save As, Copy and Print working on whatever the box holds, edits included.
// Created once, hidden; Create Report fills it and shows it again and again.
class ReportWindow : public QWidget {
    Q_OBJECT
public:
    explicit ReportWindow(Platform& platform, QWidget* parent = nullptr);

    // Empties the box and puts the report's 52 lines in it; earlier text and
    // the user's edits are gone.
    void fillReport(const ReportSources& sources);

    // Shows the window modeless and brings it to the front, hidden or not.
    void showReport();

Q_SIGNALS:
    void helpRequested(const QString& topic);

protected:
    void changeEvent(QEvent* event) override;

private:
    void fitTextColour();
    void prepareFont();
    void saveAsClicked();
    void printClicked();
    void copyClicked();
    void helpClicked();

    Platform& platform_;
    bool fontPrepared_ = false;
    QPlainTextEdit* reportEdit;
    QPushButton* saveAsButton;
    QPushButton* printButton;
    QPushButton* copyButton;
    QPushButton* closeButton;
    QPushButton* helpButton;
};

} // namespace caldrin
