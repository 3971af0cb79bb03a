// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/helptopic.h"

#include "platform/platform.h"

namespace caldrin {
namespace {

// Help commands are short texts.
constexpr qsizetype kCommandLimit = 255;

} // namespace

QString helpJumpCommand(const QString& key) {
    // An empty file name means the file the viewer has open.
    return (QStringLiteral("JumpID(\"\",\"") + key + QStringLiteral("\")")).left(kCommandLimit);
}

void ShowHelpTopic(Platform& platform, const QString& key) {
    if (!platform.helpContents(kHelpFileName))
        return;
    platform.helpCommand(kHelpFileName, helpJumpCommand(key));
}

} // namespace caldrin
