#include "platform/qtplatform.h"

#include "helpprotocol/helpviewerclient.h"

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLocale>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>

namespace caldrin {

QtPlatform::QtPlatform() {
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
    QMessageBox box(QMessageBox::NoIcon, kApplicationTitle, text, QMessageBox::Ok, parent);
    box.exec();
}

void QtPlatform::showError(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Critical, kApplicationTitle, text, QMessageBox::Ok, parent);
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
    while (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
        const QString path = dialog.selectedFiles().constFirst();
        const OpenFileChoice choice{path,
                                    int(request.filters.indexOf(dialog.selectedNameFilter()))};
        if (QFileInfo::exists(path))
            return choice;
        const auto answer = QMessageBox::question(
            &dialog, request.title,
            QStringLiteral("%1\nThis file does not exist.\nDo you want to create it?").arg(path));
        if (answer == QMessageBox::Yes)
            return choice;
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
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

bool QtPlatform::choosePrinter(QWidget* parent, QPrinter& printer) {
    QPrintDialog dialog(&printer, parent);
    return dialog.exec() == QDialog::Accepted;
}

int QtPlatform::runModal(QDialog& dialog) {
    return dialog.exec();
}

void QtPlatform::setClipboardText(const QString& text) {
    QGuiApplication::clipboard()->setText(text);
}

// The help file and its viewer are looked for beside the program.
bool QtPlatform::helpContents(const QString& helpFile) {
    return helpviewer::openContents(QCoreApplication::applicationDirPath(), helpFile);
}

bool QtPlatform::helpCommand(const QString& helpFile, const QString& command) {
    return helpviewer::runCommand(QCoreApplication::applicationDirPath(), helpFile, command);
}

RegionalSettings QtPlatform::regionalSettings() const {
    return regional_;
}

QDate QtPlatform::today() const {
    return QDate::currentDate();
}

} // namespace caldrin
