// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QString>

#include <optional>

namespace caldrin::helpviewer {

// The file-system path of the local socket that a QLocalServer listening on
// `serverName` uses.
QString socketPathOf(const QString& serverName);

// Whether the process at the other end of the connected local socket `fd`
// runs as this user.
bool peerIsThisUser(int fd);

// A client connection to a local (Unix-domain) socket. The calculator talks to
// its help viewer through plain sockets, so it needs none of Qt's network
// library, which would cost every start-up its loading time and memory.
class LocalConnection {
public:
    enum class Outcome { Connected, NotListening, ForeignPeer };

    LocalConnection() = default;
    ~LocalConnection();
    LocalConnection(const LocalConnection&) = delete;
    LocalConnection& operator=(const LocalConnection&) = delete;

    // NotListening when nothing listens at `path` (yet); ForeignPeer when the
    // process listening there runs as another user, who must not get the
    // requests nor answer them.
    Outcome connect(const QString& path);
    bool writeAll(const QByteArray& data, const QDeadlineTimer& deadline);
    // One line without its line break. Nothing when the peer closed, the
    // deadline passed (however steadily bytes arrive) or the line grew longer
    // than `longest` bytes.
    std::optional<QByteArray> readLine(const QDeadlineTimer& deadline, qsizetype longest);

private:
    void close();
    bool waitFor(short events, const QDeadlineTimer& deadline) const;

    int fd_ = -1;
    QByteArray pending_;
    qsizetype scanned_ = 0; // bytes of pending_ known to hold no line break
};

} // namespace caldrin::helpviewer
