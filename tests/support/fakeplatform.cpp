// SPDX-License-Identifier: GPL-3.0-or-later
#include "fakeplatform.h"

#include <QDialog>
#include <QPrinter>
#include <QTest>

namespace caldrin::testing {
namespace {

// Takes the value out instead of copying the optional that holds it: GCC 12
// at -O3 wrongly reports a copied std::optional<QString> as maybe
// uninitialised.
template <typename T> std::optional<T> takeFirst(std::deque<std::optional<T>>& answers) {
    std::optional<T> answer;
    if (answers.front())
        answer.emplace(std::move(*answers.front()));
    answers.pop_front();
    return answer;
}

} // namespace

QStringList FakePlatform::messageTexts() const {
    QStringList texts;
    for (const Message& m : messages)
        texts << m.text;
    return texts;
}

void FakePlatform::showMessage(QWidget*, const QString& text) {
    messages.push_back({text, false});
    if (onMessage)
        onMessage(text);
}

void FakePlatform::showError(QWidget*, const QString& text) {
    messages.push_back({text, true});
    if (onMessage)
        onMessage(text);
}

std::optional<OpenFileChoice> FakePlatform::chooseFileToOpen(QWidget*,
                                                             const OpenFileRequest& request) {
    openRequests.push_back(request);
    if (openAnswers.empty()) {
        QTest::qFail("unexpected file-open dialog", __FILE__, __LINE__);
        return std::nullopt;
    }
    return takeFirst(openAnswers);
}

std::optional<QString> FakePlatform::chooseFileToSave(QWidget*, const SaveFileRequest& request) {
    saveRequests.push_back(request);
    if (saveAnswers.empty()) {
        QTest::qFail("unexpected file-save dialog", __FILE__, __LINE__);
        return std::nullopt;
    }
    return takeFirst(saveAnswers);
}

bool FakePlatform::choosePrinter(QWidget*, QPrinter& printer) {
    printDocNames << printer.docName();
    if (printAnswers.empty()) {
        QTest::qFail("unexpected print dialog", __FILE__, __LINE__);
        return false;
    }
    const auto answer = printAnswers.front();
    printAnswers.pop_front();
    if (!answer)
        return false;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(*answer);
    return true;
}

int FakePlatform::runModal(QDialog& dialog) {
    if (modalHandlers.empty()) {
        QTest::qFail("unexpected modal dialog", __FILE__, __LINE__);
        return QDialog::Rejected;
    }
    auto handler = std::move(modalHandlers.front());
    modalHandlers.pop_front();
    dialog.setResult(QDialog::Rejected);
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.show();
    handler(dialog);
    if (dialog.isVisible()) {
        QTest::qFail("modal dialog left open by the test", __FILE__, __LINE__);
        dialog.hide();
    }
    return dialog.result();
}

void FakePlatform::setClipboardText(const QString& text) {
    clipboardText = text;
}

bool FakePlatform::helpContents(const QString& helpFile) {
    helpCalls.push_back({helpFile, QString(), true});
    return helpContentsSucceeds;
}

bool FakePlatform::helpCommand(const QString& helpFile, const QString& command) {
    helpCalls.push_back({helpFile, command, false});
    return true;
}

} // namespace caldrin::testing
