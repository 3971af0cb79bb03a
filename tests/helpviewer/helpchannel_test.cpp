// SPDX-License-Identifier: GPL-3.0-or-later
// The help channel under attack from another local account and from a peer
// that misbehaves. The tests run as root (as CI does) and take the second
// account's place with an unprivileged user id through fork and setuid.

#include "viewertesting.h"

#include "helpprotocol/helpviewerclient.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <cstring>
#include <memory>
#include <optional>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace caldrin;
using namespace caldrin::helpviewer;
using caldrin::testing::kViewerWait;

namespace {

// Another local account, as far as the kernel is concerned.
constexpr uid_t kOther = 65534;

QByteArray native(const QString& path) {
    return QFile::encodeName(path);
}

bool makeFolder(const QString& path, mode_t mode, uid_t owner) {
    return ::mkdir(native(path).constData(), mode) == 0 &&
           ::chmod(native(path).constData(), mode) == 0 &&
           ::chown(native(path).constData(), owner, owner) == 0;
}

bool becomeOther() {
    return ::setgid(kOther) == 0 && ::setuid(kOther) == 0;
}

// A listening socket at `path`; -1 on failure.
int listenAt(const QString& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray encoded = native(path);
    if (encoded.size() >= qsizetype(sizeof address.sun_path))
        return -1;
    std::memcpy(address.sun_path, encoded.constData(), std::size_t(encoded.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, 4) != 0)
        return -1;
    return fd;
}

int connectTo(const QString& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray encoded = native(path);
    std::memcpy(address.sun_path, encoded.constData(), std::size_t(encoded.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Waits at most `ms` for `fd` to be readable; false on timeout.
bool readable(int fd, int ms) {
    pollfd entry{fd, POLLIN, 0};
    return ::poll(&entry, 1, ms) > 0;
}

// Everything the peer sends until it closes, or what came within `ms`.
QByteArray readUntilClosed(int fd, int ms) {
    QByteArray got;
    char buffer[4096];
    while (readable(fd, ms)) {
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            break;
        got.append(buffer, n);
    }
    return got;
}

int exitCodeOf(pid_t child) {
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

bool isSocket(const QString& path) {
    struct stat st {};
    return ::lstat(native(path).constData(), &st) == 0 && S_ISSOCK(st.st_mode);
}

} // namespace

class HelpChannelTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    QString helpPath;
    QByteArray runtimeBefore;
    QByteArray tmpBefore;

    QString path(const QString& name) const { return dir->filePath(name); }

    // A fake viewer, in a child process, listening at `socketPath`: it takes
    // one connection and runs `behaviour` on it. Returns the child.
    template <typename Behaviour> pid_t fakeViewer(const QString& socketPath, Behaviour behaviour) {
        const int listener = listenAt(socketPath);
        if (listener < 0)
            return -1;
        const pid_t child = ::fork();
        if (child == 0) {
            const int fd = readable(listener, 20000) ? ::accept(listener, nullptr, nullptr) : -1;
            ::_exit(fd >= 0 && behaviour(fd) ? 0 : 1);
        }
        ::close(listener);
        return child;
    }

private slots:
    void initTestCase() {
        // A second account is played through setuid, which needs root.
        QCOMPARE(::getuid(), uid_t(0));
        runtimeBefore = qgetenv("XDG_RUNTIME_DIR");
        tmpBefore = qgetenv("TMPDIR");
    }

    void init() {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
        // The other account must reach the help file and the folders below.
        QVERIFY(::chmod(native(dir->path()).constData(), 0755) == 0);
        helpPath = path(QStringLiteral("help.hlp"));
        QVERIFY(testing::writeHelpFile(helpPath));
        // Each test's own temporary folder, so no socket of the real user's is met.
        QVERIFY(makeFolder(path(QStringLiteral("tmp")), 0755, 0));
        qputenv("TMPDIR", native(path(QStringLiteral("tmp"))));
        qunsetenv("XDG_RUNTIME_DIR");
    }

    void cleanup() {
        qputenv("XDG_RUNTIME_DIR", runtimeBefore);
        if (runtimeBefore.isNull())
            qunsetenv("XDG_RUNTIME_DIR");
        qputenv("TMPDIR", tmpBefore);
        if (tmpBefore.isNull())
            qunsetenv("TMPDIR");
        dir.reset();
    }

    // $XDG_RUNTIME_DIR, else a folder of the user's own, each used only when
    // it belongs to this user and no one else may enter it.
    void socketsLiveInAPrivateFolderOnly_data() {
        QTest::addColumn<QString>("runtime"); // made before the test, as the mode says
        QTest::addColumn<int>("runtimeMode");
        QTest::addColumn<int>("runtimeOwner");
        QTest::addColumn<QString>("ownFolderMadeBy"); // "", "other", "link"
        QTest::addColumn<QString>("expected");
        const int me = 0;
        QTest::newRow("runtime folder") << "run" << 0700 << me << ""
                                        << "run";
        QTest::newRow("no runtime folder") << "" << 0 << me << ""
                                           << "tmp/caldrin-0";
        QTest::newRow("runtime folder others may enter") << "run" << 0755 << me << ""
                                                         << "tmp/caldrin-0";
        QTest::newRow("runtime folder of another user") << "run" << 0700 << int(kOther) << ""
                                                        << "tmp/caldrin-0";
        QTest::newRow("own folder taken by another user") << "" << 0 << me << "other"
                                                          << "";
        QTest::newRow("own folder a link") << "" << 0 << me << "link"
                                           << "";
    }
    void socketsLiveInAPrivateFolderOnly() {
        QFETCH(QString, runtime);
        QFETCH(int, runtimeMode);
        QFETCH(int, runtimeOwner);
        QFETCH(QString, ownFolderMadeBy);
        QFETCH(QString, expected);
        if (!runtime.isEmpty()) {
            QVERIFY(makeFolder(path(runtime), mode_t(runtimeMode), uid_t(runtimeOwner)));
            qputenv("XDG_RUNTIME_DIR", native(path(runtime)));
        }
        const QString own = path(QStringLiteral("tmp/caldrin-0"));
        if (ownFolderMadeBy == QLatin1String("other"))
            QVERIFY(makeFolder(own, 0700, kOther));
        if (ownFolderMadeBy == QLatin1String("link")) {
            QVERIFY(makeFolder(path(QStringLiteral("elsewhere")), 0700, 0));
            QVERIFY(QFile::link(path(QStringLiteral("elsewhere")), own));
        }

        const QString folder = privateSocketFolder();
        QCOMPARE(folder, expected.isEmpty() ? QString() : path(expected));
        if (folder.isEmpty())
            QCOMPARE(helpSocketPath(helpPath), QString()); // help works, without a channel
        else
            QCOMPARE(QFileInfo(helpSocketPath(helpPath)).path(), folder);
        if (expected == QLatin1String("tmp/caldrin-0")) {
            QCOMPARE(QFileInfo(own).permissions() &
                         ~(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                           QFile::ReadUser | QFile::WriteUser | QFile::ExeUser),
                     QFileDevice::Permissions());
        }
    }

    // Whatever sits at the socket's name is settled at once: a file of this
    // user's that is no socket is removed; another user's file, socket or
    // not, is passed by for the next name.
    void aNameThatIsNotOurSocketIsSettledAtOnce() {
        const QString folder = path(QStringLiteral("run"));
        QVERIFY(makeFolder(folder, 0700, 0));
        const QString base = folder + QLatin1Char('/') + socketNameFor(helpPath);

        QFile plain(base);
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();
        QCOMPARE(socketPathIn(folder, helpPath), base);
        QVERIFY(!QFile::exists(base));

        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();
        QVERIFY(::chown(native(base).constData(), kOther, kOther) == 0);
        QCOMPARE(socketPathIn(folder, helpPath), base + QStringLiteral("-1"));
        QVERIFY(QFile::exists(base));

        const int foreign = listenAt(base + QStringLiteral("-1"));
        QVERIFY(foreign >= 0);
        QVERIFY(::chown(native(base + QStringLiteral("-1")).constData(), kOther, kOther) == 0);
        QCOMPARE(socketPathIn(folder, helpPath), base + QStringLiteral("-2"));
        ::close(foreign);

        // A plain file at the name costs a Help press nothing: the viewer
        // started next takes the name and answers.
        qputenv("XDG_RUNTIME_DIR", native(folder));
        QFile::remove(base);
        QVERIFY(::unlink(native(base + QStringLiteral("-1")).constData()) == 0);
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();
        QProcess viewer;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        viewer.setProcessEnvironment(environment);
        viewer.start(QStringLiteral(CALDRIN_HELP_VIEWER), {helpPath});
        const auto state = testing::waitForViewer(helpSocketPath(helpPath));
        QVERIFY(state);
        QCOMPARE(state->pid, viewer.processId());
        QVERIFY(isSocket(base));
        sendRequest(base, {Request::Kind::Close, {}});
        QVERIFY(viewer.waitForFinished(int(kViewerWait.count())));
    }

    // A listener of another account at this user's name (only root could
    // put one there now) gets no request and its answer is not believed.
    void aListenerOfAnotherUserGetsNoRequest() {
        const QString folder = path(QStringLiteral("run"));
        QVERIFY(makeFolder(folder, 0700, kOther));
        const QString socketPath = folder + QLatin1Char('/') + socketNameFor(helpPath);
        const int listener = listenAt(socketPath);
        QVERIFY(listener >= 0);
        QVERIFY(::chown(native(socketPath).constData(), kOther, kOther) == 0);

        const pid_t victim = ::fork();
        QVERIFY(victim >= 0);
        if (victim == 0) {
            qputenv("XDG_RUNTIME_DIR", native(folder));
            const bool refused = becomeOther() && helpSocketPath(helpPath) == socketPath &&
                                 !sendRequest(helpSocketPath(helpPath), {Request::Kind::Query, {}});
            ::_exit(refused ? 0 : 1);
        }
        QVERIFY(readable(listener, 20000));
        const int connection = ::accept(listener, nullptr, nullptr);
        QVERIFY(connection >= 0);
        // An impostor answers whatever comes.
        (void)::send(connection, "1 contents\n", 11, MSG_NOSIGNAL);
        const QByteArray heard = readUntilClosed(connection, 20000);
        ::close(connection);
        ::close(listener);
        QCOMPARE(exitCodeOf(victim), 0);
        QCOMPARE(heard, QByteArray());
    }

    // The real viewer, run by another account, answers no one but it.
    void theViewerAnswersOnlyItsOwnUser() {
        const QString folder = path(QStringLiteral("run"));
        QVERIFY(makeFolder(folder, 0700, kOther));
        QProcess viewer;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), folder);
        environment.insert(QStringLiteral("HOME"), folder);
        viewer.setProcessEnvironment(environment);
        viewer.setChildProcessModifier([] {
            if (!becomeOther())
                ::_exit(99);
        });
        viewer.start(QStringLiteral(CALDRIN_HELP_VIEWER), {helpPath});
        QVERIFY(viewer.waitForStarted());
        const QString socketPath = folder + QLatin1Char('/') + socketNameFor(helpPath);
        QTRY_VERIFY_WITH_TIMEOUT(isSocket(socketPath), int(kViewerWait.count()));

        // Root may open any socket; the viewer must still not answer it.
        const int fd = connectTo(socketPath);
        QVERIFY(fd >= 0);
        (void)::send(fd, "QUERY\n", 6, MSG_NOSIGNAL);
        const QByteArray answer = readUntilClosed(fd, int(kViewerWait.count()));
        ::close(fd);
        viewer.kill();
        viewer.waitForFinished();
        QCOMPARE(answer, QByteArray());
    }

    // A line longer than any answer is no answer.
    void anOverlongAnswerIsRefused() {
        const QString socketPath = helpSocketPath(helpPath);
        QVERIFY(!socketPath.isEmpty());
        const pid_t peer = fakeViewer(socketPath, [](int fd) {
            const QByteArray line = "4242 " + QByteArray(2 * kLongestLine, 'a') + '\n';
            (void)readUntilClosed(fd, 0);
            return ::send(fd, line.constData(), std::size_t(line.size()), MSG_NOSIGNAL) > 0;
        });
        QVERIFY(peer > 0);
        QCOMPARE(sendRequest(socketPath, {Request::Kind::Query, {}}), std::nullopt);
        QCOMPARE(exitCodeOf(peer), 0);
    }

    // A peer that keeps sending, never a whole line, is left: at the line's
    // limit when it floods, at the reply deadline when it drips. It does not
    // hold the calculator for as long as it likes. Each peer gives up after a
    // minute, twenty times the deadline; it must be left before that.
    void aPeerThatNeverEndsItsLineIsLeft_data() {
        QTest::addColumn<int>("pauseMicroseconds");
        QTest::newRow("flood") << 0;
        QTest::newRow("drip") << 20000;
    }
    void aPeerThatNeverEndsItsLineIsLeft() {
        QFETCH(int, pauseMicroseconds);
        const QString socketPath = helpSocketPath(helpPath);
        const pid_t peer = fakeViewer(socketPath, [pauseMicroseconds](int fd) {
            const QByteArray chunk(pauseMicroseconds ? 1 : 65536, 'x');
            const auto end = std::chrono::steady_clock::now() + std::chrono::minutes(1);
            while (std::chrono::steady_clock::now() < end) {
                if (::send(fd, chunk.constData(), std::size_t(chunk.size()), MSG_NOSIGNAL) < 0)
                    return true; // the calculator hung up
                ::usleep(useconds_t(pauseMicroseconds));
            }
            return false;
        });
        QVERIFY(peer > 0);
        QCOMPARE(sendRequest(socketPath, {Request::Kind::Query, {}}), std::nullopt);
        QCOMPARE(exitCodeOf(peer), 0);
    }

    // A client of the user's own that asks and asks without reading, or
    // sends a line without end, is dropped: the viewer's memory for one
    // connection stays bounded, and it goes on serving.
    void theViewerBoundsWhatOneConnectionHolds() {
        const QString folder = path(QStringLiteral("run"));
        QVERIFY(makeFolder(folder, 0700, 0));
        qputenv("XDG_RUNTIME_DIR", native(folder));
        const QString socketPath = helpSocketPath(helpPath);
        QProcess viewer;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        viewer.setProcessEnvironment(environment);
        viewer.start(QStringLiteral(CALDRIN_HELP_VIEWER), {helpPath});
        QVERIFY(testing::waitForViewer(socketPath));

        constexpr int kRequests = 100000;
        const QByteArray requests = QByteArray("QUERY\n").repeated(kRequests);
        const QByteArray endless(64 * kLongestLine, 'x');
        for (const QByteArray& sent : {requests, endless}) {
            const int fd = connectTo(socketPath);
            QVERIFY(fd >= 0);
            qsizetype written = 0;
            while (written < sent.size()) {
                const ssize_t n = ::send(fd, sent.constData() + written,
                                         std::size_t(sent.size() - written), MSG_NOSIGNAL);
                if (n <= 0)
                    break; // dropped
                written += n;
            }
            const QByteArray answers = readUntilClosed(fd, int(kViewerWait.count()));
            ::close(fd);
            QVERIFY2(answers.count('\n') < kRequests / 2, qPrintable(QString::number(written)));
        }
        const auto state = sendRequest(socketPath, {Request::Kind::Query, {}});
        QVERIFY(state);
        QCOMPARE(state->pid, viewer.processId());
        sendRequest(socketPath, {Request::Kind::Close, {}});
        QVERIFY(viewer.waitForFinished(int(kViewerWait.count())));
    }
};

QTEST_MAIN(HelpChannelTest)
#include "helpchannel_test.moc"
