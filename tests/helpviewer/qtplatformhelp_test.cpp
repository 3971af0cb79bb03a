// SPDX-License-Identifier: GPL-3.0-or-later
#include "viewertesting.h"

#include "helpprotocol/helpviewerclient.h"
#include "platform/qtplatform.h"

#include <QApplication>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>

#include <memory>

using namespace caldrin;
using namespace caldrin::helpviewer;
using caldrin::testing::kViewerWait;
using caldrin::testing::processEnded;
using caldrin::testing::waitForViewer;

namespace {

QString jumpTo(const QString& topic) {
    return QStringLiteral("JumpID(\"\",\"%1\")").arg(topic);
}

} // namespace

// The real platform layer looks for the help file and the viewer beside the
// running program, which for this test is a folder of its own holding a copy
// of the viewer. Each test puts a help file of its own there, under a name no
// user's viewer has.
class QtPlatformHelpTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryFile> helpFile;
    QString helpName; // without a directory, as the program names it
    bool viewerExpected = false;

    QString serverName() const { return helpSocketPath(helpFile->fileName()); }

private slots:
    void initTestCase() {
        // The viewers started by the platform layer inherit this.
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }

    void init() {
        helpFile = std::make_unique<QTemporaryFile>(QCoreApplication::applicationDirPath() +
                                                    QStringLiteral("/helptest-XXXXXX.hlp"));
        QVERIFY(helpFile->open());
        helpFile->close();
        QVERIFY(testing::writeHelpFile(helpFile->fileName()));
        helpName = QFileInfo(helpFile->fileName()).fileName();
        viewerExpected = false;
    }

    // The viewer was started on its own, so it is ended through its socket,
    // also when a test failed before it was seen.
    void cleanup() {
        if (viewerExpected) {
            if (const auto state = waitForViewer(serverName())) {
                sendRequest(serverName(), {Request::Kind::Close, {}});
                QTRY_VERIFY_WITH_TIMEOUT(processEnded(state->pid), int(kViewerWait.count()));
            }
        }
        helpFile.reset();
    }

    // The first Help press starts the viewer; the jump that follows at once
    // reaches it although it has only just been started, and later presses
    // go to the same viewer.
    void oneViewerServesEveryPress() {
        QtPlatform platform;
        viewerExpected = true;

        QVERIFY(platform.helpContents(helpName));
        QVERIFY(platform.helpCommand(helpName, jumpTo(QStringLiteral("run"))));
        const auto first = waitForViewer(serverName());
        QVERIFY(first);
        QCOMPARE(first->topic, QStringLiteral("run"));

        QVERIFY(platform.helpContents(helpName));
        QCOMPARE(waitForViewer(serverName()), (ViewerState{first->pid, "contents"}));
        QVERIFY(platform.helpCommand(helpName, jumpTo(QStringLiteral("hash"))));
        QCOMPARE(waitForViewer(serverName()), (ViewerState{first->pid, "hash"}));
    }

    // A topic the file lacks, or a command that is no jump, moves nothing.
    void anUnknownTopicLeavesTheViewerWhereItWas() {
        QtPlatform platform;
        viewerExpected = true;
        QVERIFY(platform.helpContents(helpName));
        QVERIFY(platform.helpCommand(helpName, jumpTo(QStringLiteral("create"))));

        QVERIFY(!platform.helpCommand(helpName, jumpTo(QStringLiteral("nosuch"))));
        QVERIFY(!platform.helpCommand(helpName, QStringLiteral("Exit()")));

        const auto state = waitForViewer(serverName());
        QVERIFY(state);
        QCOMPARE(state->topic, QStringLiteral("create"));
    }

    void aMissingHelpFileStartsNothing() {
        QtPlatform platform;
        const QString missing = QStringLiteral("helptest-missing.hlp");

        QVERIFY(!platform.helpContents(missing));
        QVERIFY(!platform.helpCommand(missing, jumpTo(QStringLiteral("run"))));

        QVERIFY(!sendRequest(
            helpSocketPath(QCoreApplication::applicationDirPath() + QLatin1Char('/') + missing),
            {Request::Kind::Query, {}}));
    }

    void aMissingViewerStartsNothing() {
        QTemporaryDir elsewhere;
        QVERIFY(testing::writeHelpFile(elsewhere.filePath(QStringLiteral("help.hlp"))));

        QVERIFY(!openContents(elsewhere.path(), elsewhere.path(), QStringLiteral("help.hlp")));
    }
};

QTEST_MAIN(QtPlatformHelpTest)
#include "qtplatformhelp_test.moc"
