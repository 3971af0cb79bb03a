// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/rememberedfolders.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace caldrin {

namespace {

QString keyOf(FilePurpose purpose) {
    switch (purpose) {
    case FilePurpose::Report:
        return QStringLiteral("folders/report");
    case FilePurpose::AuditData:
        return QStringLiteral("folders/auditData");
    case FilePurpose::Print:
        return QStringLiteral("folders/print");
    }
    return QStringLiteral("folders/other");
}

QSettings settings() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("caldrin"),
                     QStringLiteral("caldrin"));
}

} // namespace

QString RememberedFolders::folderFor(FilePurpose purpose) {
    const QString folder = settings().value(keyOf(purpose)).toString();
    return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : QString();
}

void RememberedFolders::rememberFileIn(FilePurpose purpose, const QString& filePath) {
    if (filePath.isEmpty())
        return;
    settings().setValue(keyOf(purpose), QFileInfo(filePath).absolutePath());
}

} // namespace caldrin
