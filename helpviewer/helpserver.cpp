// SPDX-License-Identifier: GPL-3.0-or-later
#include "helpviewer/helpserver.h"

#include "helpprotocol/localconnection.h"

#include <QLocalSocket>
#include <QTimer>

#include <chrono>

namespace caldrin {
namespace {

// A request, answered, needs a moment: a connection held longer is dropped.
constexpr std::chrono::milliseconds kConnectionLife{10000};
// Answers not yet taken by a peer that keeps asking without reading.
constexpr qint64 kMostUnread = 16 * helpviewer::kLongestLine;

} // namespace

HelpServer::HelpServer(Handler handler, QObject* parent)
    : QObject(parent)
    , handler_(std::move(handler)) {
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&server_, &QLocalServer::newConnection, this, &HelpServer::acceptConnections);
}

bool HelpServer::listen(const QString& socketPath) {
    return !socketPath.isEmpty() && server_.listen(socketPath);
}

void HelpServer::acceptConnections() {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        if (!helpviewer::peerIsThisUser(int(socket->socketDescriptor()))) {
            // Another user: no answer, not even what the viewer shows.
            socket->abort();
            socket->deleteLater();
            continue;
        }
        socket->setReadBufferSize(helpviewer::kLongestLine + 1);
        QTimer::singleShot(kConnectionLife, socket, [socket] { socket->abort(); });
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { answer(socket); });
        answer(socket);
    }
}

void HelpServer::answer(QLocalSocket* socket) {
    while (socket->canReadLine()) {
        const auto request =
            helpviewer::decodeRequest(socket->readLine(helpviewer::kLongestLine + 1));
        if (!request || socket->bytesToWrite() > kMostUnread) {
            socket->abort();
            return;
        }
        socket->write(helpviewer::encodeState(handler_(*request)));
        socket->flush();
    }
    // A line longer than any request fills the buffer without a line break.
    if (socket->bytesAvailable() > helpviewer::kLongestLine)
        socket->abort();
}

} // namespace caldrin
