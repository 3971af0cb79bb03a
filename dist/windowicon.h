// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>

namespace caldrin {

// The program's icon, built into every program so that their windows carry it
// also when they run from a build tree.
QIcon applicationIcon();

} // namespace caldrin
