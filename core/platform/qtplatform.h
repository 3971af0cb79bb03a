// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/platform.h"

#include <QObject>

namespace caldrin {

// The platform layer of the running program: real dialogs, the real clipboard,
// the user's locale and the system clock.
class QtPlatform : public QObject, public Platform {
    Q_OBJECT
public:
    // `messageTitle` heads every message box: the program's own name.
    explicit QtPlatform(QString messageTitle = kApplicationTitle);

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
    RegionalSettings regionalSettings() const override;
    QDate today() const override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void readRegionalSettings();

    QString messageTitle_;
    RegionalSettings regional_;
};

} // namespace caldrin
