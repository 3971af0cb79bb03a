// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "helpprotocol/helpviewerclient.h"

#include <QFile>
#include <QString>

#include <chrono>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/types.h>
#endif

namespace caldrin::testing {

// Long enough for a viewer to start under the sanitizers on a busy machine.
inline constexpr std::chrono::milliseconds kViewerWait{20000};

// A help file of the four topics the calculator asks for, far apart so that
// each jump really moves.
inline bool writeHelpFile(const QString& path) {
    QString html = QStringLiteral("<html><head><title>Test help</title></head><body>"
                                  "<h1 id=\"contents\">Contents</h1>");
    for (const char* topic : {"run", "create", "hash"}) {
        html += QStringLiteral("<h2 id=\"%1\">%1</h2>").arg(QLatin1String(topic));
        for (int i = 0; i < 40; ++i)
            html += QStringLiteral("<p>About %1.</p>").arg(QLatin1String(topic));
    }
    html += QStringLiteral("</body></html>");
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(html.toUtf8()) > 0;
}

// Asks the viewer serving `serverName` what it shows, waiting for one that is
// still starting.
inline std::optional<helpviewer::ViewerState> waitForViewer(const QString& serverName) {
    return helpviewer::sendRequest(serverName, {helpviewer::Request::Kind::Query, {}}, kViewerWait);
}

// Whether a process that this test did not start itself has ended. A process
// whose parent is gone may stay a zombie when nothing reaps it: ended too.
inline bool processEnded(qint64 pid) {
#ifdef Q_OS_LINUX
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray line = stat.readAll();
    const qsizetype state = line.lastIndexOf(')') + 2;
    return state < line.size() && (line[state] == 'Z' || line[state] == 'X');
#elif defined(Q_OS_UNIX)
    return ::kill(pid_t(pid), 0) != 0;
#else
    Q_UNUSED(pid);
    return true;
#endif
}

} // namespace caldrin::testing
