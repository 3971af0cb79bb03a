// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Where the calculator finds its help file and its help viewer: beside its own
// program in a build tree, otherwise in the folders an installation puts them
// in. The installed folders are found from the program's folder, so that an
// installation works under any prefix and can be moved as a whole.
namespace caldrin {

// The folder holding `helpFile`; the installed folder when neither holds it.
QString helpFileDirectory(const QString& programDirectory, const QString& helpFile);

// The folder holding the help viewer; the installed folder when neither does.
QString helpViewerDirectory(const QString& programDirectory);

// The help viewer program in that folder.
QString helpViewerPath(const QString& programDirectory);

} // namespace caldrin
