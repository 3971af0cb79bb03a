// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Model updates checked on later data, as the window's page and the PDF
// report show them: a row of figures per update, measured on the episodes
// after its fit period, and a paragraph per update saying what it is, what
// was left out and what limits its figures. Shared like figures.h, so that
// screen and paper say the same thing.

#include "audit/updatevalidation.h"
#include "auditwindow/figures.h"

#include <vector>

namespace caldrin::auditwindow {

// "P-POSSUM mortality, updated on Ward 7, 1 Jan 2024 to 30 Jun 2024".
QString updateName(const audit::UpdateValidation& check);

// A row per update: its name, method, n, observed, expected, O:E, AUROC,
// calibration-in-the-large and slope (95% intervals in brackets), Brier.
// A figure that cannot be computed shows "n/a"; the reason is in the notes.
// `Stacked` puts the name and the method on lines of their own in the first
// column, so that the figures fit a window or a page beside it.
enum class NameLayout { OneLine, Stacked };
FigureTable updateCheckTable(const std::vector<audit::UpdateValidation>& checks,
                             const NumberFormat& format, NameLayout layout = NameLayout::OneLine);

// A paragraph per update, plain text: name, method and file; the episodes
// left out, in words; the finding, or that there is nothing to check it on
// yet; why a figure is missing; the few-events warning.
QStringList updateCheckNotes(const std::vector<audit::UpdateValidation>& checks,
                             const NumberFormat& format);

// What checking an update on later data means, for below the table.
QString updateCheckReading();

} // namespace caldrin::auditwindow
