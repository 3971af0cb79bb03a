// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Reading audit data files back and measuring observed against expected
// outcomes, by model, by risk band and over time. Plain C++: no Qt, no
// windows, no clock. Usable from a worker thread: nothing here is shared
// between calls except what the caller passes in.
//
// Typical use:
//     AuditReader reader(readOptions);
//     for (path : paths) reader.addFile(path, progress);
//     AuditData data = reader.finish();
//     AnalysisResult result = analyse(data, analysisOptions, progress);
//     // change the date range and call analyse() again: the files are not read again.
//
// Each part has a header of its own: models.h, dates.h, progress.h,
// reading.h, results.h and analysis.h; this one gathers them.

#include "audit/analysis.h"
#include "audit/dates.h"
#include "audit/models.h"
#include "audit/progress.h"
#include "audit/reading.h"
#include "audit/results.h"
