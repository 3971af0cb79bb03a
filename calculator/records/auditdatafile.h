// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/platform.h"
#include "records_core/auditfile.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

namespace caldrin {

struct Assessment;
struct PatientDetails;

// The audit data file of the main window's Add to file: asks for the file on
// first use, keeps it open for the rest of the run and appends one record per
// press. Everything the user learns comes in message boxes. One owner holds
// it; `parent` is only where the boxes are shown, never an owner.
class AuditDataFile : public QObject {
    Q_OBJECT
public:
    AuditDataFile(Platform& platform, QWidget* parent, AuditSinkOpener opener = openAuditFileSink);

    // Add to file after the patient details dialog: opens (or creates) the
    // file if none is open yet, then appends the episode's record.
    void addRecord(const Assessment& assessment, const PatientDetails& details);

    bool isOpen() const { return file_.isOpen(); }
    // The completed name of the open file; empty while none is open.
    QString fileName() const { return fileName_; }

    // Closes the file if one is open; the main window does this as it closes.
    void CloseAuditFile();

private:
    bool openFile();

    Platform& platform_;
    QPointer<QWidget> messageParent_;
    AuditFile file_;
    QString fileName_;
    int filterChoice_ = 0; // selected when the open dialog comes up
};

} // namespace caldrin
