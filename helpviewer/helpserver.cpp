#include "helpviewer/helpserver.h"

#include <QLocalSocket>

namespace caldrin {
namespace {

// Requests are a word and a topic; anything longer is not one of ours.
constexpr qint64 kLongestRequest = 4096;

} // namespace

HelpServer::HelpServer(Handler handler, QObject* parent)
    : QObject(parent)
    , handler_(std::move(handler)) {
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&server_, &QLocalServer::newConnection, this, &HelpServer::acceptConnections);
}

bool HelpServer::listen(const QString& serverName) {
    return server_.listen(serverName);
}

void HelpServer::acceptConnections() {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { answer(socket); });
        answer(socket);
    }
}

void HelpServer::answer(QLocalSocket* socket) {
    while (socket->canReadLine()) {
        const auto request = helpviewer::decodeRequest(socket->readLine());
        if (!request) {
            socket->disconnectFromServer();
            return;
        }
        socket->write(helpviewer::encodeState(handler_(*request)));
        socket->flush();
    }
    if (socket->bytesAvailable() > kLongestRequest)
        socket->disconnectFromServer();
}

} // namespace caldrin
