// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "audit/auditanalysis.h"
#include "audit/options.h"
#include "auditwindow/auditdialogs.h"

#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <optional>
#include <vector>

namespace caldrin::auditwindow::testing {

// File dialogs answered in advance; a dialog the test did not expect fails it.
class FakeAuditDialogs : public AuditDialogs {
public:
    std::deque<QStringList> openAnswers;   // empty list: Cancel
    std::deque<QStringList> updateAnswers; // Add an Update; empty list: Cancel
    std::deque<std::optional<QString>> saveAnswers;
    std::deque<DropChoice> dropAnswers;
    std::vector<QStringList> dropQuestions;

    struct SaveRequest {
        QString title;
        QString suggestedPath;
        QString filter;
    };
    std::vector<QString> openFolders;
    std::vector<SaveRequest> saveRequests;
    // Runs while a save dialog is "open", as a real dialog's event loop
    // would let the window's jobs go on meanwhile.
    std::function<void()> whileSaving;

    DropChoice askAddOrReplace(QWidget* parent, const QStringList& dropped) override;
    QStringList chooseFilesToOpen(QWidget* parent, const QString& folder) override;
    QStringList chooseUpdateFiles(QWidget* parent, const QString& folder) override;
    std::optional<QString> chooseFileToSave(QWidget* parent, const QString& title,
                                            const QString& suggestedPath, const QString& filter,
                                            const QString& suffix) override;
};

// The settings every test window runs with: a control limit simulated
// quickly (short run length, few runs) so that both deliveries happen.
audit::AuditOptions testSettings();

// The engine's own figures for what the window should show: `paths` read as
// the test windows read them, analysed with `options`.
audit::AnalysisResult engineFigures(const QStringList& paths,
                                    const audit::AnalysisOptions& options);

// A model's title as the window shows it.
QString titleOf(audit::Model model);

// Text of a PDF file as pdftotext gives it, pages separated by form feeds.
QString pdfText(const QString& path);
// Number of pages pdfinfo reports; -1 when it cannot read the file.
int pdfPages(const QString& path);

} // namespace caldrin::auditwindow::testing
