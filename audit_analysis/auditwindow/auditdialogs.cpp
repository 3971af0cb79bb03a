// SPDX-License-Identifier: GPL-3.0-or-later
#include "auditwindow/auditdialogs.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

namespace caldrin::auditwindow {

AuditDialogs::DropChoice QtAuditDialogs::askAddOrReplace(QWidget* parent,
                                                         const QStringList& dropped) {
    QMessageBox box(QMessageBox::Question, parent ? parent->window()->windowTitle() : QString(),
                    dropped.size() == 1
                        ? QStringLiteral("Add %1 to the files open, or open it in their place?")
                              .arg(QFileInfo(dropped.constFirst()).fileName())
                        : QStringLiteral("Add the %1 files dropped to the files open, or open "
                                         "them in their place?")
                              .arg(dropped.size()),
                    QMessageBox::NoButton, parent);
    QPushButton* add = box.addButton(QStringLiteral("&Add"), QMessageBox::AcceptRole);
    QPushButton* replace = box.addButton(QStringLiteral("&Replace"), QMessageBox::DestructiveRole);
    box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(add);
    box.exec();
    if (box.clickedButton() == add)
        return DropChoice::Add;
    if (box.clickedButton() == replace)
        return DropChoice::Replace;
    return DropChoice::Cancel;
}

QStringList QtAuditDialogs::chooseFilesToOpen(QWidget* parent, const QString& folder) {
    QFileDialog dialog(parent, QStringLiteral("Open Audit Data Files"), folder);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilters({QStringLiteral("Audit data files (*.csv *.CSV *.txt *.TXT)"),
                           QStringLiteral("All files (*)")});
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles();
}

QStringList QtAuditDialogs::chooseUpdateFiles(QWidget* parent, const QString& folder) {
    QFileDialog dialog(parent, QStringLiteral("Add an Update"), folder);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilters(
        {QStringLiteral("Model updates (*.json *.JSON)"), QStringLiteral("All files (*)")});
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles();
}

std::optional<QString> QtAuditDialogs::chooseFileToSave(QWidget* parent, const QString& title,
                                                        const QString& suggestedPath,
                                                        const QString& filter,
                                                        const QString& suffix) {
    const QFileInfo suggested(suggestedPath);
    QFileDialog dialog(parent, title, suggested.absolutePath());
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(filter);
    dialog.setDefaultSuffix(suffix);
    dialog.selectFile(suggested.fileName());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

} // namespace caldrin::auditwindow
