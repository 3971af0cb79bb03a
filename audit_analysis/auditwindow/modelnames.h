// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "audit/auditanalysis.h"

#include <QString>

namespace caldrin::audit {

// A model's name and file key as the window, its figures, charts and PDF show
// them: the model table's, never a copy.
QString modelName(Model model);
QString modelFileKey(Model model);

} // namespace caldrin::audit
