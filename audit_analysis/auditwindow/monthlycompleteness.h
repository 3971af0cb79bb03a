// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "audit/auditanalysis.h"
#include "auditwindow/figures.h"

namespace caldrin::auditwindow {

// Follow-up by month of procedure: a row per month with episodes, giving for
// mortality and morbidity how many of the due episodes have a known outcome.
// A month where either share is under the complete share is flagged, so the
// months whose outcomes are still to be chased stand out.
FigureTable monthlyCompletenessTable(const audit::Completeness& completeness,
                                     const NumberFormat& format);

} // namespace caldrin::auditwindow
