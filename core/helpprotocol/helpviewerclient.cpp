// SPDX-License-Identifier: GPL-3.0-or-later
#include "helpprotocol/helpviewerclient.h"

#include "helpprotocol/localconnection.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>

#include <algorithm>

#ifdef Q_OS_UNIX
#include <cerrno>

#include <sys/stat.h>
#include <unistd.h>
#endif

namespace caldrin::helpviewer {
namespace {

const QByteArray kShowVerb = QByteArrayLiteral("SHOW");
const QByteArray kQueryVerb = QByteArrayLiteral("QUERY");
const QByteArray kCloseVerb = QByteArrayLiteral("CLOSE");

// Between two tries to reach a viewer that is still starting.
constexpr unsigned long kRetryPauseMs = 25;

QByteArray withoutLineEnd(QByteArray line) {
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    return line;
}

QString currentUser() {
#ifdef Q_OS_UNIX
    return QString::number(::getuid());
#else
    return qEnvironmentVariable("USERNAME");
#endif
}

#ifdef Q_OS_UNIX
// What sits at a socket name; an entry that cannot be looked at counts as
// another user's.
enum class NameHolder { Nothing, OurSocket, OurOtherFile, Foreign };

NameHolder holderOf(const QByteArray& path) {
    struct stat st {};
    if (::lstat(path.constData(), &st) != 0)
        return errno == ENOENT ? NameHolder::Nothing : NameHolder::Foreign;
    if (st.st_uid != ::getuid())
        return NameHolder::Foreign;
    return S_ISSOCK(st.st_mode) ? NameHolder::OurSocket : NameHolder::OurOtherFile;
}
#endif

// Other names tried when another user's file sits at the first.
constexpr int kOtherNames = 8;
} // namespace

// A topic travels as the rest of a line, so it must not hold a line break.
bool isTopicKey(const QString& topic) {
    return !topic.isEmpty() && std::none_of(topic.cbegin(), topic.cend(), [](QChar c) {
        return c.category() == QChar::Other_Control;
    });
}

bool isPrivateFolder(const QString& folder) {
#ifdef Q_OS_UNIX
    struct stat st {};
    return !folder.isEmpty() && ::lstat(QFile::encodeName(folder).constData(), &st) == 0 &&
           S_ISDIR(st.st_mode) && st.st_uid == ::getuid() && (st.st_mode & 077) == 0;
#else
    return !folder.isEmpty();
#endif
}

QString privateSocketFolder() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (QDir::isAbsolutePath(runtime) && isPrivateFolder(runtime))
        return QDir::cleanPath(runtime);
    const QString own =
        QDir::cleanPath(QDir::tempPath()) + QStringLiteral("/caldrin-") + currentUser();
#ifdef Q_OS_UNIX
    // Made private from the start; one that exists already must pass the
    // same check, whoever made it.
    (void)::mkdir(QFile::encodeName(own).constData(), 0700);
#endif
    return isPrivateFolder(own) ? own : QString();
}

QString socketNameFor(const QString& helpFilePath) {
    const QFileInfo info(helpFilePath);
    const QString path =
        info.canonicalFilePath().isEmpty() ? info.absoluteFilePath() : info.canonicalFilePath();
    // Hashed, because a path can be longer than a local socket name may be.
    return QStringLiteral("caldrin-help-") +
           QString::fromLatin1(QCryptographicHash::hash(path.toUtf8(), QCryptographicHash::Sha256)
                                   .toHex()
                                   .left(32));
}

QString socketPathIn(const QString& folder, const QString& helpFilePath) {
    if (folder.isEmpty())
        return {};
    const QString base = folder + QLatin1Char('/') + socketNameFor(helpFilePath);
    for (int other = 0; other <= kOtherNames; ++other) {
        const QString path = other == 0 ? base : base + QLatin1Char('-') + QString::number(other);
#ifdef Q_OS_UNIX
        const QByteArray encoded = QFile::encodeName(path);
        switch (holderOf(encoded)) {
        case NameHolder::Nothing:
        case NameHolder::OurSocket:
            return path;
        case NameHolder::OurOtherFile:
            // Not a socket, so no viewer listens there: waiting on it would
            // only stall each Help press.
            if (::unlink(encoded.constData()) == 0 || errno == ENOENT)
                return path;
            break;
        case NameHolder::Foreign:
            break;
        }
#else
        return path;
#endif
    }
    return {};
}

QString helpSocketPath(const QString& helpFilePath) {
    return socketPathIn(privateSocketFolder(), helpFilePath);
}

std::optional<QString> jumpTopic(const QString& command) {
    // Macro names are not case-sensitive; an empty file name means the file
    // that is already open, the only one this program asks for.
    static constexpr char kPattern[] =
        R"re(^\s*JumpID\s*\(\s*"([^"]*)"\s*,\s*"([^"]*)"\s*\)\s*$)re";
    static const QRegularExpression jump(QString::fromLatin1(kPattern),
                                         QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = jump.match(command);
    if (!match.hasMatch() || !match.captured(1).isEmpty())
        return std::nullopt;
    const QString topic = match.captured(2);
    if (!isTopicKey(topic))
        return std::nullopt;
    return topic;
}

QByteArray encodeRequest(const Request& request) {
    switch (request.kind) {
    case Request::Kind::Show:
        return kShowVerb + ' ' + request.topic.toUtf8() + '\n';
    case Request::Kind::Query:
        return kQueryVerb + '\n';
    case Request::Kind::Close:
        return kCloseVerb + '\n';
    }
    return {};
}

std::optional<Request> decodeRequest(const QByteArray& line) {
    const QByteArray text = withoutLineEnd(line);
    if (text == kQueryVerb)
        return Request{Request::Kind::Query, {}};
    if (text == kCloseVerb)
        return Request{Request::Kind::Close, {}};
    if (text.size() <= kLongestLine && text.startsWith(kShowVerb + ' ')) {
        const QString topic = QString::fromUtf8(text.mid(kShowVerb.size() + 1));
        if (isTopicKey(topic))
            return Request{Request::Kind::Show, topic};
    }
    return std::nullopt;
}

QByteArray encodeState(const ViewerState& state) {
    return QByteArray::number(state.pid) + ' ' + state.topic.toUtf8() + '\n';
}

std::optional<ViewerState> decodeState(const QByteArray& line) {
    const QByteArray text = withoutLineEnd(line);
    const qsizetype space = text.indexOf(' ');
    if (space <= 0)
        return std::nullopt;
    bool ok = false;
    const qint64 pid = text.left(space).toLongLong(&ok);
    if (!ok || pid <= 0)
        return std::nullopt;
    return ViewerState{pid, QString::fromUtf8(text.mid(space + 1))};
}

std::optional<ViewerState> sendRequest(const QString& socketPath, const Request& request,
                                       std::chrono::milliseconds startupWait) {
    if (socketPath.isEmpty())
        return std::nullopt;
    const QDeadlineTimer startup(startupWait);
    // One deadline for everything after the viewer is first tried.
    const QDeadlineTimer exchange(startupWait + kReplyWait);
    LocalConnection connection;
    for (;;) {
        const auto outcome = connection.connect(socketPathOf(socketPath));
        if (outcome == LocalConnection::Outcome::Connected)
            break;
        // A viewer just started needs a moment before it listens; nothing
        // else is waited for, and never beyond the deadline.
        if (outcome == LocalConnection::Outcome::ForeignPeer || startup.hasExpired())
            return std::nullopt;
        QThread::msleep(kRetryPauseMs);
    }
    if (!connection.writeAll(encodeRequest(request), exchange))
        return std::nullopt;
    const auto line = connection.readLine(exchange, kLongestLine);
    if (!line)
        return std::nullopt;
    return decodeState(*line);
}

bool openContents(const QString& directory, const QString& viewerDirectory,
                  const QString& helpFile) {
    const QString helpPath = QDir(directory).absoluteFilePath(helpFile);
    if (!QFileInfo(helpPath).isFile())
        return false;
    const QString viewer = QStandardPaths::findExecutable(kViewerProgram, {viewerDirectory});
    if (viewer.isEmpty())
        return false;

    if (const auto state =
            sendRequest(helpSocketPath(helpPath), {Request::Kind::Show, kContentsTopic}))
        return state->topic == kContentsTopic;
    // No viewer for this file yet: start one that lives on its own, without a
    // shell and without waiting for it.
    return QProcess::startDetached(
        viewer, {QStringLiteral("--topic"), kContentsTopic, QStringLiteral("--"), helpPath},
        directory);
}

bool runCommand(const QString& directory, const QString& helpFile, const QString& command) {
    const auto topic = jumpTopic(command);
    if (!topic)
        return false;
    const QString helpPath = QDir(directory).absoluteFilePath(helpFile);
    if (!QFileInfo(helpPath).isFile())
        return false;
    const auto state =
        sendRequest(helpSocketPath(helpPath), {Request::Kind::Show, *topic}, kStartupWait);
    return state && state->topic == *topic;
}

} // namespace caldrin::helpviewer
