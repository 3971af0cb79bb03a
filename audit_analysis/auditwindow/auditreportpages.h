// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The audit report on paper: a PDF file or a printer. Landscape pages: title,
// files and date range, the summary tables, calibration and the models
// compared, the model updates checked; then each model's pages (modelpages.h); then notes on the
// methods with their references (methodnotes.h).

#include "audit/auditanalysis.h"
#include "audit/updatevalidation.h"
#include "auditwindow/figures.h"

#include <QDate>
#include <QString>

class QPagedPaintDevice;

namespace caldrin::auditwindow {

struct ReportContext {
    const audit::AuditData& data;
    const audit::AnalysisResult& result;
    QString dateRange; // in words: "all dates", "1 Jan 2024 to 31 Dec 2024"
    QDate generated;
    NumberFormat format;
    // The model updates checked on the episodes after their fit period.
    const std::vector<audit::UpdateValidation>& updates;
};

// Paints the report on `device` (a QPdfWriter or a QPrinter whose output is
// set up); the number of pages, 0 when the device could not be painted on.
int paintAuditReport(QPagedPaintDevice& device, const ReportContext& context);

} // namespace caldrin::auditwindow
