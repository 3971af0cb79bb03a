// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/auditdatafile.h"

#include "records_core/auditfilename.h"
#include "records_core/auditrecord.h"

#include <QFile>

namespace caldrin {

namespace {

const QString kOpenDialogTitle = QStringLiteral("Open Data File");

QStringList openDialogFilters() {
    return {QStringLiteral("Comma Separated Vaue ( *.CSV ) (*.csv)"),
            QStringLiteral("Text files ( *.TXT ) (*.txt)"),
            QStringLiteral("All files ( *.* ) (*)")};
}

AuditFileFilter filterOf(int index) {
    switch (index) {
    case 0:
        return AuditFileFilter::Csv;
    case 1:
        return AuditFileFilter::Text;
    default:
        return AuditFileFilter::All;
    }
}

// What the user is told when the file cannot take a record. A second copy
// of the calculator turned away by the lock keeps the message it always had.
QString messageOf(AuditFileProblem problem) {
    if (problem == AuditFileProblem::Locked)
        problem = AuditFileProblem::CannotOpen;
    const std::string_view text = auditFileProblemMessage(problem);
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

AuditDataFile::AuditDataFile(Platform& platform, QWidget* parent, AuditSinkOpener opener)
    : platform_(platform)
    , messageParent_(parent)
    , file_(std::move(opener)) {}

void AuditDataFile::addRecord(const Assessment& assessment, const PatientDetails& details) {
    if (!file_.isOpen() && !openFile())
        return;
    if (file_.appendRecord(assessment, details))
        platform_.showMessage(messageParent_, QStringLiteral("Record added to ") + fileName_);
    else
        platform_.showMessage(messageParent_, messageOf(file_.problem()));
}

bool AuditDataFile::openFile() {
    const OpenFileRequest request{kOpenDialogTitle, openDialogFilters(), filterChoice_,
                                  FilePurpose::AuditData};
    const std::optional<OpenFileChoice> choice =
        platform_.chooseFileToOpen(messageParent_, request);
    if (!choice)
        return false;
    if (choice->filterIndex >= 0 && choice->filterIndex < request.filters.size())
        filterChoice_ = choice->filterIndex;

    const QString name = QString::fromUtf8(
        completeAuditFileName(choice->path.toUtf8().toStdString(), filterOf(choice->filterIndex)));
    platform_.showMessage(messageParent_, QStringLiteral("Opening ") + name);
    if (!file_.open(QFile::encodeName(name).toStdString())) {
        platform_.showMessage(messageParent_, messageOf(file_.problem()));
        return false;
    }
    fileName_ = name;
    return true;
}

void AuditDataFile::CloseAuditFile() {
    if (!file_.isOpen())
        return;
    fileName_.clear();
    if (!file_.close())
        platform_.showMessage(messageParent_, QStringLiteral("Failure to close output file."));
}

} // namespace caldrin
