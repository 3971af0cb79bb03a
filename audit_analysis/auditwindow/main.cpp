// SPDX-License-Identifier: GPL-3.0-or-later
#include "audit/options.h"
#include "auditwindow/auditdialogs.h"
#include "auditwindow/auditwindow.h"
#include "dist/windowicon.h"
#include "platform/displayopening.h"
#include "platform/qtplatform.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

namespace {

constexpr const char* kProgram = "caldrin-audit-window";

void nameTheProgram() {
    QCoreApplication::setOrganizationName(QStringLiteral("Caldrin"));
    QCoreApplication::setApplicationName(QStringLiteral("Caldrin Audit"));
    QCoreApplication::setApplicationVersion(QStringLiteral(CALDRIN_VERSION));
}

// The program's options; the help text lists them in this order.
struct CommandLine {
    QCommandLineParser parser;
    const QCommandLineOption dateOrder{
        QStringLiteral("date-order"),
        QStringLiteral("How dates of procedure are written: dmy (default), mdy or ymd."),
        QStringLiteral("order"), QStringLiteral("dmy")};
    const QCommandLineOption oddsRatio{
        QStringLiteral("odds-ratio"),
        QStringLiteral("The rise in the odds of the outcome the CUSUM looks for (default 2)."),
        QStringLiteral("R"), QStringLiteral("2")};
    const QCommandLineOption limit{QStringLiteral("limit"),
                                   QStringLiteral("The CUSUM control limit (default: computed)."),
                                   QStringLiteral("H")};
    const QCommandLineOption arl{
        QStringLiteral("arl"),
        QStringLiteral("In-control average run length the limit is computed for (default 10000)."),
        QStringLiteral("N"), QStringLiteral("10000")};
    const QCommandLineOption dueDays{
        QStringLiteral("due-days"),
        QStringLiteral("Days after the procedure by which its outcome is due (default 30)."),
        QStringLiteral("N"), QStringLiteral("30")};
    const QCommandLineOption today{
        QStringLiteral("today"),
        QStringLiteral("The day follow-up is measured on (default: the system's date)."),
        QStringLiteral("date")};

    CommandLine() {
        parser.setApplicationDescription(QStringLiteral(
            "Caldrin Audit: observed against expected outcomes in audit data files."));
        parser.addHelpOption();
        parser.addVersionOption();
        parser.addOptions({dateOrder, oddsRatio, limit, arl, dueDays, today});
        parser.addPositionalArgument(QStringLiteral("files"),
                                     QStringLiteral("Audit data files to open."),
                                     QStringLiteral("[FILE...]"));
    }
};

// Help and version are answered without a display, as from a terminal over
// a plain remote login.
bool asksForHelpOrVersion(int argc, const char* const* argv) {
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        if (std::strcmp(argument, "--") == 0)
            return false;
        for (const char* request : {"-h", "--help", "-?", "--help-all", "-v", "--version"}) {
            if (std::strcmp(argument, request) == 0)
                return true;
        }
    }
    return false;
}

int usageError(const std::string& text) {
    std::fprintf(stderr, "%s: %s\n", kProgram, text.c_str());
    return 1;
}

// The options the command line asks for, or the exit status of a usage
// error. They are read by the same rules and in the same words as
// caldrin-audit's.
std::optional<int> readOptions(const CommandLine& commandLine, int currentYear,
                               caldrin::audit::AuditOptions& options) {
    const QCommandLineParser& parser = commandLine.parser;
    caldrin::audit::AuditOptionReader reader(currentYear);
    for (const QCommandLineOption* option :
         {&commandLine.dateOrder, &commandLine.oddsRatio, &commandLine.limit, &commandLine.arl,
          &commandLine.dueDays, &commandLine.today}) {
        if (!parser.isSet(*option))
            continue;
        const std::string name = "--" + option->names().constFirst().toStdString();
        const std::string value = parser.value(*option).toStdString();
        if (const std::string error = reader.set(name, value); !error.empty())
            return usageError(error);
    }
    if (const std::string error = reader.finish(); !error.empty())
        return usageError(error);
    options = reader.options();
    return std::nullopt;
}

} // namespace

int main(int argc, char* argv[]) {
    if (asksForHelpOrVersion(argc, argv)) {
        const QCoreApplication core(argc, argv);
        nameTheProgram();
        CommandLine commandLine;
        commandLine.parser.process(core); // prints the text asked for and exits
    }

    if (!caldrin::displayNamed(argc, argv)) {
        caldrin::reportNoDisplay(kProgram);
        return 1;
    }
    std::optional<caldrin::DisplayOpeningGuard> guard(std::in_place, kProgram);
    QApplication app(argc, argv);
    guard.reset();
    nameTheProgram();
    QGuiApplication::setDesktopFileName(QStringLiteral("org.caldrin.Audit"));
    QApplication::setWindowIcon(caldrin::applicationIcon());

    CommandLine commandLine;
    commandLine.parser.process(app);
    caldrin::QtPlatform platform(caldrin::auditwindow::kAuditWindowTitle);
    caldrin::audit::AuditOptions options;
    if (const std::optional<int> status =
            readOptions(commandLine, platform.today().year(), options))
        return *status;

    caldrin::auditwindow::QtAuditDialogs dialogs;
    caldrin::auditwindow::AuditWindow window(platform, dialogs, options);
    window.show();
    window.openFiles(commandLine.parser.positionalArguments());
    return app.exec();
}
