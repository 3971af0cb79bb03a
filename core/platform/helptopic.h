// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace caldrin {

class Platform;

// The help command that jumps to topic `key` of the help file already open,
// at most 255 characters long.
QString helpJumpCommand(const QString& key);

// Opens the help file at its contents and then, if that worked, at topic
// `key`. The help viewer runs on its own: nothing is waited for, nothing is
// shown when the file, the topic or the viewer is missing, and no state of
// the program changes.
void ShowHelpTopic(Platform& platform, const QString& key);

} // namespace caldrin
