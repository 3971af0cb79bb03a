// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qtplatform.h"

#include "helpprotocol/helpviewerclient.h"
#include "platform/helplocation.h"
#include "platform/rememberedfolders.h"

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLocale>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>

namespace caldrin {

QtPlatform::QtPlatform(QString messageTitle)
    : messageTitle_(std::move(messageTitle)) {
    readRegionalSettings();
    if (qApp)
        qApp->installEventFilter(this);
}

bool QtPlatform::eventFilter(QObject* watched, QEvent* event) {
    if (watched == qApp && event->type() == QEvent::LocaleChange)
        readRegionalSettings();
    return QObject::eventFilter(watched, event);
}

void QtPlatform::readRegionalSettings() {
    const QLocale locale;
    regional_.decimalSeparator =
        locale.decimalPoint().isEmpty() ? QLatin1Char('.') : locale.decimalPoint().front();
    regional_.shortDatePattern = locale.dateFormat(QLocale::ShortFormat);
}

void QtPlatform::showMessage(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, messageTitle_, text, QMessageBox::Ok, parent);
    box.exec();
}

void QtPlatform::showError(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Critical, messageTitle_, text, QMessageBox::Ok, parent);
    box.exec();
}

std::optional<OpenFileChoice> QtPlatform::chooseFileToOpen(QWidget* parent,
                                                           const OpenFileRequest& request) {
    QFileDialog dialog(parent, request.title);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::ReadOnly, false);
    dialog.setNameFilters(request.filters);
    if (request.selectedFilter >= 0 && request.selectedFilter < request.filters.size())
        dialog.selectNameFilter(request.filters.at(request.selectedFilter));
    if (const QString folder = RememberedFolders::folderFor(request.purpose); !folder.isEmpty())
        dialog.setDirectory(folder);
    while (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
        const QString path = dialog.selectedFiles().constFirst();
        const OpenFileChoice choice{path,
                                    int(request.filters.indexOf(dialog.selectedNameFilter()))};
        bool chosen = QFileInfo::exists(path);
        if (!chosen) {
            chosen = QMessageBox::question(
                         &dialog, request.title,
                         QStringLiteral("%1\nThis file does not exist.\nDo you want to create it?")
                             .arg(path)) == QMessageBox::Yes;
        }
        if (chosen) {
            RememberedFolders::rememberFileIn(request.purpose, path);
            return choice;
        }
    }
    return std::nullopt;
}

std::optional<QString> QtPlatform::chooseFileToSave(QWidget* parent,
                                                    const SaveFileRequest& request) {
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    // A filter reads "Caption (patterns)": the list shows the caption alone.
    dialog.setOption(QFileDialog::HideNameFilterDetails, true);
    dialog.setNameFilters(request.filters);
    if (request.selectedFilter >= 0 && request.selectedFilter < request.filters.size())
        dialog.selectNameFilter(request.filters.at(request.selectedFilter));
    dialog.setDefaultSuffix(request.defaultSuffix);
    if (const QString folder = RememberedFolders::folderFor(request.purpose); !folder.isEmpty())
        dialog.setDirectory(folder);
    if (!request.suggestedName.isEmpty())
        dialog.selectFile(request.suggestedName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    const QString path = dialog.selectedFiles().constFirst();
    RememberedFolders::rememberFileIn(request.purpose, path);
    return path;
}

bool QtPlatform::choosePrinter(QWidget* parent, QPrinter& printer) {
    // Where there is no printer the dialog can only print to a file, so it
    // offers one in the folder last printed into. With printers present the
    // printer stays the choice it starts with.
    const QString folder = RememberedFolders::folderFor(FilePurpose::Print);
    if (!folder.isEmpty() && printer.outputFileName().isEmpty() &&
        QPrinterInfo::availablePrinterNames().isEmpty()) {
        const QString name =
            printer.docName().isEmpty() ? QStringLiteral("print") : printer.docName();
        printer.setOutputFileName(QDir(folder).filePath(name + QStringLiteral(".pdf")));
    }
    QPrintDialog dialog(&printer, parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    if (printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty())
        RememberedFolders::rememberFileIn(FilePurpose::Print, printer.outputFileName());
    return true;
}

int QtPlatform::runModal(QDialog& dialog) {
    return dialog.exec();
}

void QtPlatform::setClipboardText(const QString& text) {
    QGuiApplication::clipboard()->setText(text);
}

bool QtPlatform::helpContents(const QString& helpFile) {
    const QString program = QCoreApplication::applicationDirPath();
    return helpviewer::openContents(helpFileDirectory(program, helpFile),
                                    helpViewerDirectory(program), helpFile);
}

bool QtPlatform::helpCommand(const QString& helpFile, const QString& command) {
    const QString program = QCoreApplication::applicationDirPath();
    return helpviewer::runCommand(helpFileDirectory(program, helpFile), helpFile, command);
}

RegionalSettings QtPlatform::regionalSettings() const {
    return regional_;
}

QDate QtPlatform::today() const {
    return QDate::currentDate();
}

} // namespace caldrin
