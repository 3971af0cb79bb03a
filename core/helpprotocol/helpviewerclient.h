// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>
#include <optional>

// The calculator's side of the help viewer `caldrin-help`, and the little
// protocol that both sides speak over a local socket. The viewer is a program
// of its own: it runs beside the calculator, outlives it, and stays usable
// while a calculator dialog is modal. One viewer serves each help file: a
// second request for the same file goes to the viewer already open.
namespace caldrin::helpviewer {

// The viewer program, found beside the calculator.
inline const QString kViewerProgram = QStringLiteral("caldrin-help");
// The topic the viewer opens with, and the one the contents request shows.
inline const QString kContentsTopic = QStringLiteral("contents");

// How long the calculator waits for a viewer that has just been started to
// take requests, and for any viewer to answer one.
inline constexpr std::chrono::milliseconds kStartupWait{3000};
inline constexpr std::chrono::milliseconds kReplyWait{3000};

// The longest line either side sends or takes: a request is a word and a
// topic, an answer a process id and a topic.
inline constexpr qsizetype kLongestLine = 4096;

// Whether `folder` is a folder (not a link to one) that belongs to this user
// and that no one else may enter.
bool isPrivateFolder(const QString& folder);

// The folder for this user's help sockets: $XDG_RUNTIME_DIR, or else a folder
// of the user's own in the temporary folder, created with mode 0700. Each is
// checked (owner and mode) before use, so another local user can neither
// listen in this user's place nor read the requests. Empty when neither
// passes.
QString privateSocketFolder();

// The socket's file name for `helpFilePath`: one per help file, however its
// path is spelled, short enough for a local socket whatever the path.
QString socketNameFor(const QString& helpFilePath);

// The local socket of the viewer showing `helpFilePath`, in `folder`. What
// sits at the name is settled at once: a socket of this user is the viewer's
// (running, or left by one that ended), any other file of this user's is
// removed, and another user's file makes the next name (-1, -2, ...) be used.
// Empty when no name is usable.
QString socketPathIn(const QString& folder, const QString& helpFilePath);

// socketPathIn(privateSocketFolder(), helpFilePath); empty without a private folder.
QString helpSocketPath(const QString& helpFilePath);

// Whether `topic` can name a topic: not empty, and no control characters.
bool isTopicKey(const QString& topic);

// The topic of a help command of the form JumpID("","key"), which jumps to a
// topic of the file already open. Nothing for any other command.
std::optional<QString> jumpTopic(const QString& command);

// One request to a running viewer, sent as one line.
struct Request {
    enum class Kind { Show, Query, Close };
    Kind kind = Kind::Query;
    QString topic; // for Show
    friend bool operator==(const Request&, const Request&) = default;
};

// The viewer's answer to every request: who it is and what it shows now.
struct ViewerState {
    qint64 pid = 0;
    QString topic;
    friend bool operator==(const ViewerState&, const ViewerState&) = default;
};

QByteArray encodeRequest(const Request& request);
std::optional<Request> decodeRequest(const QByteArray& line);
QByteArray encodeState(const ViewerState& state);
std::optional<ViewerState> decodeState(const QByteArray& line);

// Sends `request` to the viewer listening at `socketPath` and returns its
// answer. A viewer that is not listening yet is tried again until
// `startupWait` has passed (zero: one try); the whole exchange ends by
// `startupWait` plus kReplyWait at the latest. Nothing when no viewer of this
// user answered with one line.
std::optional<ViewerState> sendRequest(const QString& socketPath, const Request& request,
                                       std::chrono::milliseconds startupWait = {});

// Opens `helpFile`, looked for in `directory`, at its contents: in the viewer
// already showing it, or in a new viewer (found in `viewerDirectory`) started
// on its own, without waiting for it. False when the file or the viewer is
// missing or the viewer could not be reached or started.
bool openContents(const QString& directory, const QString& viewerDirectory,
                  const QString& helpFile);

// Runs a help command (a JumpID topic jump) in the viewer showing `helpFile`.
// True when the viewer now shows the topic asked for.
bool runCommand(const QString& directory, const QString& helpFile, const QString& command);

} // namespace caldrin::helpviewer
