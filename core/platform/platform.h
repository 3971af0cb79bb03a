// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QChar>
#include <QDate>
#include <QString>
#include <QStringList>

#include <optional>

class QDialog;
class QPrinter;
class QWidget;

namespace caldrin {

// The application title: shown by the desktop for the running program and on
// every message box.
inline const QString kApplicationTitle = QStringLiteral("Caldrin Calclator v2.1V");

// The topic help file, named without a directory.
inline const QString kHelpFileName = QStringLiteral("Caldrin v3.hlp");

// What a file dialog is for: each purpose starts in the folder last used for it.
enum class FilePurpose { Report, AuditData, Print };

// What the file-open dialog is asked for.
struct OpenFileRequest {
    QString title;
    QStringList filters;    // Qt form, e.g. "Text files ( *.TXT ) (*.txt)"
    int selectedFilter = 0; // index into filters
    FilePurpose purpose = FilePurpose::AuditData;
};

// What the user confirmed in the file-open dialog.
struct OpenFileChoice {
    QString path;
    int filterIndex = 0; // the filter in force when the dialog was confirmed
};

struct SaveFileRequest {
    QStringList filters; // "Caption (patterns)"; the dialog shows the caption only
    int selectedFilter = 0;
    QString defaultSuffix; // added to a name typed without an extension
    QString suggestedName; // the name the dialog offers, without a folder
    FilePurpose purpose = FilePurpose::Report;
};

// The user's regional settings that the program reads.
struct RegionalSettings {
    QChar decimalSeparator = QLatin1Char('.');
    QString shortDatePattern; // e.g. "dd/MM/yyyy"; empty where none is set
};

// Everything that waits for a person or reads the desktop goes through this
// layer, so that the windows can be driven by tests without anyone at the
// keyboard. The program runs with QtPlatform; tests use a fake.
class Platform {
public:
    virtual ~Platform() = default;

    // A modal message box with an OK button, titled with the program's title.
    virtual void showMessage(QWidget* parent, const QString& text) = 0;
    // The same with an error icon (the general error handler's box).
    virtual void showError(QWidget* parent, const QString& text) = 0;

    // The file-open dialog; a name that does not exist is only returned after
    // the user agreed to create it. Empty when the user cancels.
    virtual std::optional<OpenFileChoice> chooseFileToOpen(QWidget* parent,
                                                           const OpenFileRequest& request) = 0;
    // The file-save dialog; replacing an existing file asks nothing.
    virtual std::optional<QString> chooseFileToSave(QWidget* parent,
                                                    const SaveFileRequest& request) = 0;
    // The print dialog; true when the user confirmed, with `printer` set up.
    // Printing to a file starts in the folder last used for that.
    virtual bool choosePrinter(QWidget* parent, QPrinter& printer) = 0;

    // Shows `dialog` modally and returns its result once it has closed.
    virtual int runModal(QDialog& dialog) = 0;

    virtual void setClipboardText(const QString& text) = 0;

    // The help viewer, in the two requests the program makes of it: open the
    // help file at its contents, and run a command (a topic jump) in it.
    // Each returns false when the viewer could not do it.
    virtual bool helpContents(const QString& helpFile) = 0;
    virtual bool helpCommand(const QString& helpFile, const QString& command) = 0;

    // Regional settings as they are now; re-read when the desktop announces a change.
    virtual RegionalSettings regionalSettings() const = 0;

    // The local clock.
    virtual QDate today() const = 0;
};

} // namespace caldrin
