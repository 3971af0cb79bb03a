// SPDX-License-Identifier: GPL-3.0-or-later
#include "auditwindowtesting.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <utility>

namespace caldrin::auditwindow::testing {

audit::AuditOptions testSettings() {
    audit::AuditOptions settings;
    settings.read.currentYear = 2026;
    settings.analysis.targetArl = 200;
    settings.analysis.simulationRuns = 50;
    return settings;
}

audit::AnalysisResult engineFigures(const QStringList& paths,
                                    const audit::AnalysisOptions& options) {
    audit::AuditReader reader(testSettings().read);
    for (const QString& path : paths)
        reader.addFile(QFile::encodeName(path).toStdString());
    return audit::analyse(reader.finish(), options);
}

QString titleOf(audit::Model model) {
    return QString::fromUtf8(std::string(audit::modelTitle(model)));
}

AuditDialogs::DropChoice FakeAuditDialogs::askAddOrReplace(QWidget*, const QStringList& dropped) {
    dropQuestions.push_back(dropped);
    if (dropAnswers.empty()) {
        QTest::qFail("unexpected add-or-replace question", __FILE__, __LINE__);
        return DropChoice::Cancel;
    }
    const DropChoice answer = dropAnswers.front();
    dropAnswers.pop_front();
    return answer;
}

QStringList FakeAuditDialogs::chooseFilesToOpen(QWidget*, const QString& folder) {
    openFolders.push_back(folder);
    if (openAnswers.empty()) {
        QTest::qFail("unexpected file-open dialog", __FILE__, __LINE__);
        return {};
    }
    QStringList answer = openAnswers.front();
    openAnswers.pop_front();
    return answer;
}

QStringList FakeAuditDialogs::chooseUpdateFiles(QWidget*, const QString&) {
    if (updateAnswers.empty()) {
        QTest::qFail("unexpected update-file dialog", __FILE__, __LINE__);
        return {};
    }
    QStringList answer = updateAnswers.front();
    updateAnswers.pop_front();
    return answer;
}

std::optional<QString> FakeAuditDialogs::chooseFileToSave(QWidget*, const QString& title,
                                                          const QString& suggestedPath,
                                                          const QString& filter, const QString&) {
    saveRequests.push_back({title, suggestedPath, filter});
    if (whileSaving)
        std::exchange(whileSaving, nullptr)();
    if (saveAnswers.empty()) {
        QTest::qFail("unexpected file-save dialog", __FILE__, __LINE__);
        return std::nullopt;
    }
    // Moved out rather than copied: GCC 12 at -O3 wrongly reports a copied
    // std::optional<QString> as maybe uninitialised.
    std::optional<QString> answer;
    if (saveAnswers.front())
        answer.emplace(std::move(*saveAnswers.front()));
    saveAnswers.pop_front();
    return answer;
}

QString pdfText(const QString& path) {
    QProcess process;
    process.start(QStringLiteral("pdftotext"),
                  {QStringLiteral("-layout"), path, QStringLiteral("-")});
    if (!process.waitForFinished(60000))
        return {};
    return QString::fromUtf8(process.readAllStandardOutput());
}

int pdfPages(const QString& path) {
    QProcess process;
    process.start(QStringLiteral("pdfinfo"), {path});
    if (!process.waitForFinished(60000))
        return -1;
    const QString info = QString::fromUtf8(process.readAllStandardOutput());
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("^Pages:\\s+(\\d+)"), QRegularExpression::MultilineOption)
            .match(info);
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}

} // namespace caldrin::auditwindow::testing
