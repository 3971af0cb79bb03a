// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The report's pages of one model: its risk bands and calibration chart,
// discrimination and predicted risks, the charts over time, and its units on
// a funnel plot; every chart with its figures in words beside it.

#include "auditwindow/auditreportpages.h"

#include <cstddef>

namespace caldrin::auditwindow {

class PageWriter;

// The model at `modelIndex` in the context's result. Three pages, and a
// fourth for the funnel plot when two or more units were read.
void modelPages(PageWriter& page, std::size_t modelIndex, const ReportContext& context);

} // namespace caldrin::auditwindow
