// SPDX-License-Identifier: GPL-3.0-or-later
#include "viewertesting.h"

#include "helpprotocol/helpviewerclient.h"

#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <vector>

using namespace caldrin;
using namespace caldrin::helpviewer;
using caldrin::testing::kViewerWait;
using caldrin::testing::waitForViewer;

class HelpViewerTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    QString helpPath;
    std::vector<std::unique_ptr<QProcess>> viewers;

    QString serverName() const { return helpSocketPath(helpPath); }

    // Starts the real viewer without a display, on this test's own help file,
    // so that it never meets a viewer of the user's.
    QProcess& startViewer(const QStringList& arguments) {
        auto process = std::make_unique<QProcess>();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        process->setProcessEnvironment(environment);
        process->setProcessChannelMode(QProcess::ForwardedChannels);
        process->start(QStringLiteral(CALDRIN_HELP_VIEWER), arguments);
        process->waitForStarted();
        viewers.push_back(std::move(process));
        return *viewers.back();
    }

    QProcess& startViewerAt(const QString& topic) {
        return startViewer({QStringLiteral("--topic"), topic, helpPath});
    }

    std::optional<ViewerState> show(const QString& topic) {
        return sendRequest(serverName(), {Request::Kind::Show, topic});
    }

private slots:
    void init() {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
        helpPath = dir->filePath(QStringLiteral("help.hlp"));
        QVERIFY(testing::writeHelpFile(helpPath));
    }

    // Every viewer a test started is ended, politely first.
    void cleanup() {
        for (auto& viewer : viewers) {
            if (viewer->state() == QProcess::NotRunning)
                continue;
            sendRequest(serverName(), {Request::Kind::Close, {}});
            if (!viewer->waitForFinished(int(kViewerWait.count()))) {
                viewer->kill();
                viewer->waitForFinished();
            }
        }
        viewers.clear();
        QLocalServer::removeServer(serverName());
        dir.reset();
    }

    // --- The protocol ---

    void jumpTopicReadsOnlyJumpsWithinTheOpenFile_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("topic"); // empty: not a jump
        QTest::newRow("as the program sends it")
            << QStringLiteral("JumpID(\"\",\"run\")") << QStringLiteral("run");
        QTest::newRow("spaces and any case")
            << QStringLiteral("  jumpid ( \"\" , \"hash\" ) ") << QStringLiteral("hash");
        QTest::newRow("a topic with a space")
            << QStringLiteral("JumpID(\"\",\"main window\")") << QStringLiteral("main window");
        QTest::newRow("another file")
            << QStringLiteral("JumpID(\"other.hlp\",\"run\")") << QString();
        QTest::newRow("no topic") << QStringLiteral("JumpID(\"\",\"\")") << QString();
        QTest::newRow("cut short") << QStringLiteral("JumpID(\"\",\"run\"") << QString();
        QTest::newRow("another macro") << QStringLiteral("JumpContents(\"\")") << QString();
        QTest::newRow("a line break in the topic")
            << QStringLiteral("JumpID(\"\",\"ru\nn\")") << QString();
        QTest::newRow("empty") << QString() << QString();
    }
    void jumpTopicReadsOnlyJumpsWithinTheOpenFile() {
        QFETCH(QString, command);
        QFETCH(QString, topic);
        QCOMPARE(jumpTopic(command).value_or(QString()), topic);
    }

    void requestsAndAnswersCrossTheSocketUnchanged() {
        for (const Request& request :
             {Request{Request::Kind::Show, QStringLiteral("create")},
              Request{Request::Kind::Show, QStringLiteral("main window")},
              Request{Request::Kind::Query, {}}, Request{Request::Kind::Close, {}}}) {
            const QByteArray line = encodeRequest(request);
            QVERIFY(line.endsWith('\n'));
            QCOMPARE(line.count('\n'), 1);
            QCOMPARE(decodeRequest(line), std::optional<Request>(request));
        }
        const ViewerState state{4242, QStringLiteral("hash")};
        QCOMPARE(decodeState(encodeState(state)), std::optional<ViewerState>(state));
    }

    void strangeLinesAreNoRequests_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("empty") << QByteArray("\n");
        QTest::newRow("show without topic") << QByteArray("SHOW \n");
        QTest::newRow("unknown verb") << QByteArray("OPEN run\n");
        QTest::newRow("lower case") << QByteArray("query\n");
        QTest::newRow("control character") << QByteArray("SHOW r\tun\n");
    }
    void strangeLinesAreNoRequests() {
        QFETCH(QByteArray, line);
        QVERIFY(!decodeRequest(line));
    }

    void strangeAnswersAreNoStates() {
        QVERIFY(!decodeState("run\n"));
        QVERIFY(!decodeState("abc run\n"));
        QVERIFY(!decodeState("0 run\n"));
    }

    // One viewer per user and help file, however the file's path is spelled;
    // the name stays short enough for a local socket whatever the path.
    void eachHelpFileHasItsOwnServerName() {
        const QString same = dir->path() + QStringLiteral("/./help.hlp");
        QCOMPARE(helpSocketPath(same), serverName());
        const QString other = dir->filePath(QStringLiteral("other.hlp"));
        QVERIFY(testing::writeHelpFile(other));
        QVERIFY(helpSocketPath(other) != serverName());
        const QString deep = dir->filePath(QString(200, QLatin1Char('d')) + QStringLiteral(".hlp"));
        QVERIFY(helpSocketPath(deep).size() < 64);
    }

    // --- The viewer, running ---

    void opensAtTheTopicAskedFor_data() {
        QTest::addColumn<QString>("asked");
        QTest::addColumn<QString>("shown");
        QTest::newRow("contents") << QStringLiteral("contents") << QStringLiteral("contents");
        QTest::newRow("run") << QStringLiteral("run") << QStringLiteral("run");
        QTest::newRow("create") << QStringLiteral("create") << QStringLiteral("create");
        QTest::newRow("hash") << QStringLiteral("hash") << QStringLiteral("hash");
        QTest::newRow("a topic the file lacks")
            << QStringLiteral("nosuch") << QStringLiteral("contents");
    }
    void opensAtTheTopicAskedFor() {
        QFETCH(QString, asked);
        QFETCH(QString, shown);
        QProcess& viewer = startViewerAt(asked);

        const auto state = waitForViewer(serverName());

        QVERIFY(state);
        QCOMPARE(state->topic, shown);
        QCOMPARE(state->pid, viewer.processId());
    }

    // A topic for a file that is already open goes to its viewer, wherever it
    // comes from; a topic the file lacks leaves the viewer where it was.
    void laterTopicsGoToTheViewerAlreadyOpen() {
        QProcess& first = startViewerAt(QStringLiteral("contents"));
        QVERIFY(waitForViewer(serverName()));

        QCOMPARE(show(QStringLiteral("run")), (ViewerState{first.processId(), "run"}));
        QCOMPARE(show(QStringLiteral("nosuch")), (ViewerState{first.processId(), "run"}));

        // A second start hands its topic over and ends at once.
        QProcess& second = startViewerAt(QStringLiteral("hash"));
        QVERIFY(second.waitForFinished(int(kViewerWait.count())));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);

        QCOMPARE(waitForViewer(serverName()), (ViewerState{first.processId(), "hash"}));
        QCOMPARE(first.state(), QProcess::Running);
    }

    void aCloseRequestEndsTheViewer() {
        QProcess& viewer = startViewerAt(QStringLiteral("run"));
        QVERIFY(waitForViewer(serverName()));

        QVERIFY(sendRequest(serverName(), {Request::Kind::Close, {}}));

        QVERIFY(viewer.waitForFinished(int(kViewerWait.count())));
        QCOMPARE(viewer.exitCode(), 0);
        QVERIFY(!sendRequest(serverName(), {Request::Kind::Query, {}}));
    }

    void aMissingHelpFileOpensNoWindow() {
        const QString missing = dir->filePath(QStringLiteral("missing.hlp"));
        QProcess& viewer = startViewer({missing});

        QVERIFY(viewer.waitForFinished(int(kViewerWait.count())));
        QCOMPARE(viewer.exitCode(), 2);
        QVERIFY(!sendRequest(helpSocketPath(missing), {Request::Kind::Query, {}}));
    }

    // A viewer that was killed leaves its socket name behind; the next one
    // must not take it for a running viewer and hand its topic to nobody.
    void aViewerThatWasKilledDoesNotBlockTheNext() {
        QProcess& first = startViewerAt(QStringLiteral("contents"));
        QVERIFY(waitForViewer(serverName()));
        first.kill();
        QVERIFY(first.waitForFinished());

        QProcess& second = startViewerAt(QStringLiteral("create"));

        QCOMPARE(waitForViewer(serverName()), (ViewerState{second.processId(), "create"}));
    }

    // The help file that ships: every topic the program asks for and every
    // link inside it leads somewhere. Its name has a space, as shipped.
    void theShippedHelpFileHasEveryTopicAndLink() {
        QFile shipped(QStringLiteral(CALDRIN_HELP_FILE));
        QVERIFY(shipped.open(QIODevice::ReadOnly));
        const QString html = QString::fromUtf8(shipped.readAll());
        helpPath = dir->filePath(QStringLiteral("Caldrin v3.hlp"));
        QVERIFY(QFile::copy(shipped.fileName(), helpPath));

        QStringList topics{"contents", "run", "create", "hash"};
        static const QRegularExpression link(QStringLiteral("href=\"#([^\"]+)\""));
        for (const QRegularExpressionMatch& match : link.globalMatch(html))
            topics << match.captured(1);
        QVERIFY(topics.size() > 4);

        startViewerAt(QStringLiteral("contents"));
        QVERIFY(waitForViewer(serverName()));
        for (const QString& topic : topics) {
            const auto state = show(topic);
            QVERIFY2(state, qPrintable(topic));
            QCOMPARE(state->topic, topic);
        }
    }
};

QTEST_MAIN(HelpViewerTest)
#include "helpviewer_test.moc"
