// SPDX-License-Identifier: GPL-3.0-or-later
#include "helpprotocol/localconnection.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace caldrin::helpviewer {

QString socketPathOf(const QString& serverName) {
    if (serverName.startsWith(QLatin1Char('/')))
        return serverName;
    return QDir::cleanPath(QDir::tempPath()) + QLatin1Char('/') + serverName;
}

bool peerIsThisUser(int fd) {
    ucred peer{};
    socklen_t size = sizeof peer;
    return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && size == sizeof peer &&
           peer.uid == ::getuid();
}

LocalConnection::~LocalConnection() {
    close();
}

void LocalConnection::close() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    pending_.clear();
    scanned_ = 0;
}

LocalConnection::Outcome LocalConnection::connect(const QString& path) {
    close();
    const QByteArray encoded = QFile::encodeName(path);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (encoded.isEmpty() || encoded.size() >= qsizetype(sizeof address.sun_path))
        return Outcome::NotListening;
    std::memcpy(address.sun_path, encoded.constData(), std::size_t(encoded.size()));

    fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0)
        return Outcome::NotListening;
    if (::connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        close();
        return Outcome::NotListening;
    }
    if (!peerIsThisUser(fd_)) {
        close();
        return Outcome::ForeignPeer;
    }
    return Outcome::Connected;
}

bool LocalConnection::waitFor(short events, const QDeadlineTimer& deadline) const {
    pollfd entry{fd_, events, 0};
    for (;;) {
        if (deadline.hasExpired())
            return false;
        const int result = ::poll(&entry, 1, int(deadline.remainingTime()));
        if (result > 0)
            return true;
        if (result == 0 || errno != EINTR)
            return false;
    }
}

bool LocalConnection::writeAll(const QByteArray& data, const QDeadlineTimer& deadline) {
    qsizetype written = 0;
    while (fd_ >= 0 && written < data.size()) {
        if (!waitFor(POLLOUT, deadline))
            return false;
        const ssize_t n = ::send(fd_, data.constData() + written,
                                 std::size_t(data.size() - written), MSG_NOSIGNAL);
        if (n < 0 && errno != EINTR && errno != EAGAIN)
            return false;
        if (n > 0)
            written += n;
    }
    return fd_ >= 0;
}

std::optional<QByteArray> LocalConnection::readLine(const QDeadlineTimer& deadline,
                                                    qsizetype longest) {
    while (fd_ >= 0) {
        // Only the bytes that came since the last look are searched.
        if (const qsizetype end = pending_.indexOf('\n', scanned_); end >= 0) {
            QByteArray line = pending_.left(end);
            pending_.remove(0, end + 1);
            scanned_ = 0;
            if (line.endsWith('\r'))
                line.chop(1);
            return line;
        }
        scanned_ = pending_.size();
        // The deadline counts even while bytes keep coming.
        if (pending_.size() > longest || !waitFor(POLLIN, deadline))
            return std::nullopt;
        char buffer[512];
        const std::size_t room =
            std::size_t(std::min<qsizetype>(sizeof buffer, longest + 1 - pending_.size()));
        const ssize_t n = ::recv(fd_, buffer, room, 0);
        if (n == 0)
            return std::nullopt;
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            return std::nullopt;
        }
        pending_.append(buffer, n);
    }
    return std::nullopt;
}

} // namespace caldrin::helpviewer
