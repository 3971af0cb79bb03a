// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "patientview_core/riskwords.h"

#include <QString>
#include <QStringList>

class QPagedPaintDevice;

namespace caldrin {

// Everything the sheet to take home says, in the order it says it.
struct PatientSheet {
    QString patientName; // only what was typed into the view; may be empty
    QString date;
    QString modelTitle;
    riskwords::Frequency frequency;
    QString sentence; // the picture's text equivalent, with the 1-in-100 sentence
    QString complications;
    QString uncertainty;
    QString population;
    QStringList drivers; // one line each, what-if included
    QString driversNote; // that these are what-ifs, or why there are none
    QString source;      // the model's name, citation and DOI
};

// Paints the sheet on one page of `device` (A4 or Letter) in type of 12
// points or more. False when the device could not be painted on.
bool paintPatientSheet(QPagedPaintDevice& device, const PatientSheet& sheet);

} // namespace caldrin
