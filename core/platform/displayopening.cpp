// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/displayopening.h"

#include <QString>
#include <QtGlobal>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace caldrin {
namespace {

bool environmentHas(const char* name) {
    return !qEnvironmentVariableIsEmpty(name);
}

// A held message keeps the literal texts its context points at.
struct HeldMessage {
    QtMsgType type;
    const char* file;
    int line;
    const char* function;
    const char* category;
    QString text;
};

std::vector<HeldMessage> heldMessages;
QtMessageHandler handlerBefore = nullptr;
const char* guardedProgram = "";

void holdOrGiveUp(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type != QtFatalMsg) {
        heldMessages.push_back(
            {type, context.file, context.line, context.function, context.category, text});
        return;
    }
    // The first warning names the cause ("could not connect to display :1");
    // the fatal message after it only says that no platform could start.
    const QString reason = heldMessages.empty() ? text : heldMessages.front().text;
    std::fprintf(stderr, "%s: cannot open the display: %s\n", guardedProgram,
                 qPrintable(reason.section(QLatin1Char('\n'), 0, 0)));
    std::fflush(stderr);
    std::_Exit(1);
}

} // namespace

bool displayNamed(int argc, const char* const* argv) {
    if (environmentHas("DISPLAY") || environmentHas("WAYLAND_DISPLAY") ||
        environmentHas("QT_QPA_PLATFORM"))
        return true;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0)
            return true;
    }
    return false;
}

void reportNoDisplay(const char* programName) {
    std::fprintf(stderr,
                 "%s: no graphical display to open: neither DISPLAY nor WAYLAND_DISPLAY is set\n",
                 programName);
}

DisplayOpeningGuard::DisplayOpeningGuard(const char* programName) {
    guardedProgram = programName;
    handlerBefore = qInstallMessageHandler(holdOrGiveUp);
}

DisplayOpeningGuard::~DisplayOpeningGuard() {
    qInstallMessageHandler(handlerBefore);
    for (const HeldMessage& m : heldMessages) {
        const QMessageLogContext context(m.file, m.line, m.function, m.category);
        qt_message_output(m.type, context, m.text);
    }
    heldMessages.clear();
}

} // namespace caldrin
