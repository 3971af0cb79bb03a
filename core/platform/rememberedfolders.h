// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/platform.h"

#include <QString>

namespace caldrin {

// The folder last used for each kind of file, kept in the user's settings
// (under the XDG configuration folder), so that the next dialog for the same
// purpose starts there, in this run or a later one.
class RememberedFolders {
public:
    // The remembered folder; empty when none is, or when it no longer exists.
    static QString folderFor(FilePurpose purpose);
    // Remembers the folder that holds `filePath`.
    static void rememberFileIn(FilePurpose purpose, const QString& filePath);
};

} // namespace caldrin
