// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class QWidget;

namespace caldrin {

class Platform;

// The application's general error handler: failures that a window does not
// handle itself (saving or printing the report) end here, as the message and a
// full stop in an error box titled with the application title. The program
// carries on with the window as it was.
void handleApplicationError(Platform& platform, QWidget* parent, const QString& message);

} // namespace caldrin
