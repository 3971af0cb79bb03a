#include "audit/optionbounds.h"
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

    CommandLine() {
        parser.setApplicationDescription(QStringLiteral(
            "Caldrin Audit: observed against expected outcomes in audit data files."));
        parser.addHelpOption();
        parser.addVersionOption();
        parser.addOptions({dateOrder, oddsRatio, limit, arl});
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

// The settings the command line asks for, or the exit status of a usage error.
std::optional<int> readSettings(const CommandLine& commandLine,
                                caldrin::auditwindow::AuditSettings& settings) {
    const QCommandLineParser& parser = commandLine.parser;
    caldrin::audit::ReadOptions& readOptions = settings.read;
    const QString order = parser.value(commandLine.dateOrder).toLower();
    if (order == QLatin1String("mdy")) {
        readOptions.dateOrder = caldrin::audit::DateOrder::MonthDayYear;
    } else if (order == QLatin1String("ymd")) {
        readOptions.dateOrder = caldrin::audit::DateOrder::YearMonthDay;
    } else if (order != QLatin1String("dmy")) {
        return usageError("--date-order must be dmy, mdy or ymd");
    }
    bool ok = false;
    settings.oddsRatio = parser.value(commandLine.oddsRatio).toDouble(&ok);
    if (!ok || !caldrin::audit::oddsRatioAllowed(settings.oddsRatio))
        return usageError("--odds-ratio takes " + std::string(caldrin::audit::kOddsRatioTakes));
    if (parser.isSet(commandLine.limit)) {
        settings.limit = parser.value(commandLine.limit).toDouble(&ok);
        if (!ok || !caldrin::audit::limitAllowed(*settings.limit))
            return usageError("--limit takes " + std::string(caldrin::audit::kLimitTakes));
    }
    settings.targetArl = parser.value(commandLine.arl).toDouble(&ok);
    if (!ok || !caldrin::audit::arlAllowed(settings.targetArl))
        return usageError("--arl takes " + std::string(caldrin::audit::kArlTakes));
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
    caldrin::auditwindow::AuditSettings settings;
    if (const std::optional<int> status = readSettings(commandLine, settings))
        return *status;

    caldrin::QtPlatform platform(caldrin::auditwindow::kAuditWindowTitle);
    settings.read.currentYear = platform.today().year();
    caldrin::auditwindow::QtAuditDialogs dialogs;
    caldrin::auditwindow::AuditWindow window(platform, dialogs, settings);
    window.show();
    window.openFiles(commandLine.parser.positionalArguments());
    return app.exec();
}
