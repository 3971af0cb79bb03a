// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace caldrin::auditwindow {

// What the audit window and its parts remember (place, recent files, last
// folder, choices) is kept in the program's settings under this name.
inline const QString kAuditSettingsName = QStringLiteral("auditwindow");

} // namespace caldrin::auditwindow
