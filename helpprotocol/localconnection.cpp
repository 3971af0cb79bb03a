#include "helpprotocol/localconnection.h"

#include <QDir>
#include <QFile>

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

LocalConnection::~LocalConnection() {
    close();
}

void LocalConnection::close() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    pending_.clear();
}

bool LocalConnection::connect(const QString& path) {
    close();
    const QByteArray encoded = QFile::encodeName(path);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (encoded.size() >= qsizetype(sizeof address.sun_path))
        return false;
    std::memcpy(address.sun_path, encoded.constData(), std::size_t(encoded.size()));

    fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0)
        return false;
    if (::connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        close();
        return false;
    }
    return true;
}

bool LocalConnection::waitFor(short events, const QDeadlineTimer& deadline) const {
    pollfd entry{fd_, events, 0};
    for (;;) {
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

std::optional<QByteArray> LocalConnection::readLine(const QDeadlineTimer& deadline) {
    while (fd_ >= 0) {
        if (const qsizetype end = pending_.indexOf('\n'); end >= 0) {
            QByteArray line = pending_.left(end);
            pending_.remove(0, end + 1);
            if (line.endsWith('\r'))
                line.chop(1);
            return line;
        }
        if (!waitFor(POLLIN, deadline))
            return std::nullopt;
        char buffer[512];
        const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
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
