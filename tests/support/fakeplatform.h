// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/platform.h"

#include <deque>
#include <functional>
#include <optional>
#include <vector>

namespace caldrin::testing {

// A platform layer answered in advance by the test. Message boxes are recorded
// instead of shown; a dialog that the test did not expect fails the test
// instead of waiting for a person.
class FakePlatform : public Platform {
public:
    struct Message {
        QString text;
        bool isError = false;
    };

    // What was shown, oldest first.
    std::vector<Message> messages;
    QStringList messageTexts() const;
    // Runs as each message box is shown, to look at the program at that moment.
    std::function<void(const QString&)> onMessage;

    // Answers for the file dialogs, taken in turn; nullopt means Cancel.
    std::deque<std::optional<OpenFileChoice>> openAnswers;
    std::deque<std::optional<QString>> saveAnswers;
    std::vector<OpenFileRequest> openRequests;
    std::vector<SaveFileRequest> saveRequests;

    // Answers for the print dialog: a PDF file to print into, or nullopt for Cancel.
    std::deque<std::optional<QString>> printAnswers;
    QStringList printDocNames; // the document name of each print dialog shown

    // Each modal dialog is handed to the next handler while it is shown modally;
    // the handler acts as the user would and closes it.
    std::deque<std::function<void(QDialog&)>> modalHandlers;

    QString clipboardText;

    struct HelpCall {
        QString file;
        QString command; // empty for the contents request
        bool isContents = false;
    };
    std::vector<HelpCall> helpCalls;
    bool helpContentsSucceeds = true;

    RegionalSettings regional{QLatin1Char('.'), QStringLiteral("dd/MM/yyyy")};
    QDate date{2026, 6, 15};

    void showMessage(QWidget* parent, const QString& text) override;
    void showError(QWidget* parent, const QString& text) override;
    std::optional<OpenFileChoice> chooseFileToOpen(QWidget* parent,
                                                   const OpenFileRequest& request) override;
    std::optional<QString> chooseFileToSave(QWidget* parent,
                                            const SaveFileRequest& request) override;
    bool choosePrinter(QWidget* parent, QPrinter& printer) override;
    int runModal(QDialog& dialog) override;
    void setClipboardText(const QString& text) override;
    bool helpContents(const QString& helpFile) override;
    bool helpCommand(const QString& helpFile, const QString& command) override;
    RegionalSettings regionalSettings() const override { return regional; }
    QDate today() const override { return date; }
};

} // namespace caldrin::testing
