// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/errorhandler.h"

#include "platform/platform.h"

namespace caldrin {

void handleApplicationError(Platform& platform, QWidget* parent, const QString& message) {
    platform.showError(parent, message + QLatin1Char('.'));
}

} // namespace caldrin
