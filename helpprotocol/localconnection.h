#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QString>

#include <optional>

namespace caldrin::helpviewer {

// The file-system path of the local socket that a QLocalServer listening on
// `serverName` uses.
QString socketPathOf(const QString& serverName);

// A client connection to a local (Unix-domain) socket. The calculator talks to
// its help viewer through plain sockets, so it needs none of Qt's network
// library, which would cost every start-up its loading time and memory.
class LocalConnection {
public:
    LocalConnection() = default;
    ~LocalConnection();
    LocalConnection(const LocalConnection&) = delete;
    LocalConnection& operator=(const LocalConnection&) = delete;

    // False when nothing listens at `path` (yet).
    bool connect(const QString& path);
    bool writeAll(const QByteArray& data, const QDeadlineTimer& deadline);
    // One line without its line break; nothing when the peer closed or the deadline passed.
    std::optional<QByteArray> readLine(const QDeadlineTimer& deadline);

private:
    void close();
    bool waitFor(short events, const QDeadlineTimer& deadline) const;

    int fd_ = -1;
    QByteArray pending_;
};

} // namespace caldrin::helpviewer
