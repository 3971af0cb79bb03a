// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace caldrin {

// Screen readers meet the program's plain top-level windows (the main window,
// the report, the MD5 results) as windows ("frame") rather than as anonymous
// filler. Safe to call more than once.
void installWindowRoles();

} // namespace caldrin
