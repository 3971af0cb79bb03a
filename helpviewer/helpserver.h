// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "helpprotocol/helpviewerclient.h"

#include <QLocalServer>
#include <QObject>

#include <functional>

class QLocalSocket;

namespace caldrin {

// The viewer's end of the local socket: reads one request per line and
// answers each with what the viewer shows after it. Only processes of this
// user are answered, and each connection is bounded in time and in the bytes
// it may leave waiting in either direction.
class HelpServer : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<helpviewer::ViewerState(const helpviewer::Request&)>;

    explicit HelpServer(Handler handler, QObject* parent = nullptr);

    // Listens at `socketPath`, reachable by this user only. False when the
    // name is taken, by a running viewer or one that ended abnormally.
    bool listen(const QString& socketPath);

private:
    void acceptConnections();
    void answer(QLocalSocket* socket);

    QLocalServer server_;
    Handler handler_;
};

} // namespace caldrin
