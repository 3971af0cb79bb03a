#include "app/commandline.h"

#include "platform/helplocation.h"
#include "platform/platform.h"

#include <QDir>
#include <QFileInfo>
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

QString describe(const QString& path) {
    return QFileInfo::exists(path) ? path : path + QStringLiteral(" (missing)");
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

void holdOrGiveUp(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type != QtFatalMsg) {
        heldMessages.push_back(
            {type, context.file, context.line, context.function, context.category, text});
        return;
    }
    // The first warning names the cause ("could not connect to display :1");
    // the fatal message after it only says that no platform could start.
    const QString reason = heldMessages.empty() ? text : heldMessages.front().text;
    std::fprintf(stderr, "caldrin: cannot open the display: %s\n",
                 qPrintable(reason.section(QLatin1Char('\n'), 0, 0)));
    std::fflush(stderr);
    std::_Exit(1);
}

} // namespace

CommandLineRequest commandLineRequest(int argc, const char* const* argv) {
    if (argc < 2)
        return CommandLineRequest::RunCalculator;
    if (std::strcmp(argv[1], "--help") == 0)
        return CommandLineRequest::PrintHelp;
    if (std::strcmp(argv[1], "--version") == 0)
        return CommandLineRequest::PrintVersion;
    return CommandLineRequest::RunCalculator;
}

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

QString usageText(const QString& programDirectory) {
    const QString helpFile =
        QDir(helpFileDirectory(programDirectory, kHelpFileName)).filePath(kHelpFileName);
    const QString viewer = helpViewerPath(programDirectory);
    return QStringLiteral("Usage: caldrin [/TEST]\n"
                          "       caldrin --help | --version\n"
                          "Surgical risk of one patient by the POSSUM family of equations.\n"
                          "\n"
                          "  /TEST      type the two score totals straight into the main window\n"
                          "             (letters in either case)\n"
                          "  --help     show this text and exit\n"
                          "  --version  show the version and exit\n"
                          "\n"
                          "Only the first argument is read; any other is ignored.\n"
                          "The program needs a graphical display.\n"
                          "\n"
                          "Help file:   %1\n"
                          "Help viewer: %2\n")
        .arg(describe(helpFile), describe(viewer));
}

DisplayOpeningGuard::DisplayOpeningGuard() {
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
