// SPDX-License-Identifier: GPL-3.0-or-later
#include "auditwindow/auditdialogs.h"

#include <QFileDialog>
#include <QFileInfo>

namespace caldrin::auditwindow {

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
