// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

class QWidget;

namespace caldrin::auditwindow {

// The file dialogs of the audit window: several files at once, and a save
// dialog that starts in a given folder with a suggested name. Everything else
// that waits for a person (message boxes, the print dialog, help) goes
// through the program's Platform. Tests answer these in advance.
class AuditDialogs {
public:
    virtual ~AuditDialogs() = default;

    enum class DropChoice { Add, Replace, Cancel };
    // Files were dropped on the window while others are open: add them to
    // those open, or read them in their place.
    virtual DropChoice askAddOrReplace(QWidget* parent, const QStringList& dropped) = 0;

    // Empty when the user cancels.
    virtual QStringList chooseFilesToOpen(QWidget* parent, const QString& folder) = 0;
    // Model update files (JSON) to check on the files open; empty when the
    // user cancels.
    virtual QStringList chooseUpdateFiles(QWidget* parent, const QString& folder) = 0;
    // `filter` in Qt form, e.g. "PDF files (*.pdf)"; `suffix` is added to a
    // name typed without one. Nothing when the user cancels.
    virtual std::optional<QString> chooseFileToSave(QWidget* parent, const QString& title,
                                                    const QString& suggestedPath,
                                                    const QString& filter,
                                                    const QString& suffix) = 0;
};

// The real dialogs.
class QtAuditDialogs : public AuditDialogs {
public:
    DropChoice askAddOrReplace(QWidget* parent, const QStringList& dropped) override;
    QStringList chooseFilesToOpen(QWidget* parent, const QString& folder) override;
    QStringList chooseUpdateFiles(QWidget* parent, const QString& folder) override;
    std::optional<QString> chooseFileToSave(QWidget* parent, const QString& title,
                                            const QString& suggestedPath, const QString& filter,
                                            const QString& suffix) override;
};

} // namespace caldrin::auditwindow
