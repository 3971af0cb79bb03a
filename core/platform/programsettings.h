// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace caldrin {

// What a program's windows remember between runs, in the user's settings of
// that program (the application's name picks the file): a window's place,
// lists of recent files, the folder last used for something and choices
// made in the window. Windows name what they remember; the keys and the
// settings file are kept here.
class ProgramSettings {
public:
    static QByteArray windowGeometry(const QString& window);
    static void setWindowGeometry(const QString& window, const QByteArray& geometry);

    // Newest first, at most `keep`; `paths` go to the front, the first of
    // them first, each once, as absolute paths.
    static QStringList recentFiles(const QString& window);
    static void addRecentFiles(const QString& window, const QStringList& paths, int keep);

    // The folder last used; empty when none is remembered or it is gone.
    static QString lastFolder(const QString& window);
    // Remembers the folder that holds `filePath`.
    static void rememberFolderOf(const QString& window, const QString& filePath);

    // A choice the user made in a window, by the name the window gives it;
    // empty when none is remembered.
    static QString choice(const QString& window, const QString& name);
    static void setChoice(const QString& window, const QString& name, const QString& value);
};

} // namespace caldrin
