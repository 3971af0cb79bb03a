// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The report's notes on its methods, and their references: what each figure
// is, where it comes from and how to read it.

#include <QStringList>

namespace caldrin::auditwindow {

// One paragraph each: the figures, then each model from the model table.
QStringList methodNotes();
// The published sources of the methods, one reference each.
QStringList methodReferences();

} // namespace caldrin::auditwindow
