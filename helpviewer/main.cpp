// SPDX-License-Identifier: GPL-3.0-or-later
// caldrin-help: the help viewer of the Caldrin Calculator. It shows the help
// file at a topic and then takes further topics from the calculator over a
// local socket, so one window serves every Help press, for as long as the
// user keeps it open.

#include "dist/windowicon.h"
#include "helpprotocol/helpviewerclient.h"
#include "helpviewer/helpserver.h"
#include "helpviewer/helpwindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QLocalServer>
#include <QTimer>

#include <cstdio>

using namespace caldrin;
using helpviewer::Request;

namespace {

void complain(const QString& text) {
    std::fprintf(stderr, "%s: %s\n", qPrintable(helpviewer::kViewerProgram), qPrintable(text));
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(helpviewer::kViewerProgram);
    QGuiApplication::setDesktopFileName(QStringLiteral("org.caldrin.Calculator"));
    QApplication::setWindowIcon(applicationIcon());

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Shows the help of the Caldrin Calculator."));
    parser.addHelpOption();
    const QCommandLineOption topicOption(QStringLiteral("topic"),
                                         QStringLiteral("Open the help at topic <key>."),
                                         QStringLiteral("key"), helpviewer::kContentsTopic);
    parser.addOption(topicOption);
    parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("The help file."));
    parser.process(app);
    if (parser.positionalArguments().size() != 1) {
        complain(QStringLiteral("give exactly one help file"));
        return 2;
    }

    const QString helpPath =
        QFileInfo(parser.positionalArguments().constFirst()).absoluteFilePath();
    if (!QFileInfo(helpPath).isFile()) {
        complain(QStringLiteral("no help file %1").arg(helpPath));
        return 2;
    }
    const QString asked = parser.value(topicOption);
    const Request show{Request::Kind::Show,
                       helpviewer::isTopicKey(asked) ? asked : helpviewer::kContentsTopic};

    // A viewer already showing this file takes the topic; this one is not needed.
    const QString socketPath = helpviewer::helpSocketPath(helpPath);
    if (helpviewer::sendRequest(socketPath, show))
        return 0;

    HelpWindow window;
    if (!window.load(helpPath)) {
        complain(QStringLiteral("cannot read help file %1").arg(helpPath));
        return 2;
    }

    HelpServer server([&window](const Request& request) {
        switch (request.kind) {
        case Request::Kind::Show:
            window.showTopic(request.topic);
            break;
        case Request::Kind::Query:
            break;
        case Request::Kind::Close:
            // After the answer has gone out.
            QTimer::singleShot(0, &window, [&window] { window.close(); });
            break;
        }
        return helpviewer::ViewerState{QCoreApplication::applicationPid(), window.currentTopic()};
    });
    if (!server.listen(socketPath)) {
        // Either another viewer started at the same moment and listens now,
        // or one that ended abnormally left its socket behind (the name
        // holds a socket of this user's only, see helpSocketPath).
        if (helpviewer::sendRequest(socketPath, show))
            return 0;
        if (!socketPath.isEmpty())
            QLocalServer::removeServer(socketPath);
        if (!server.listen(socketPath))
            complain(
                QStringLiteral("cannot take further topics (%1)")
                    .arg(socketPath.isEmpty() ? QStringLiteral("no private folder") : socketPath));
    }

    window.showTopic(show.topic);
    return app.exec();
}
