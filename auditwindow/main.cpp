#include "auditwindow/auditdialogs.h"
#include "auditwindow/auditwindow.h"
#include "dist/windowicon.h"
#include "platform/qtplatform.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Caldrin"));
    QApplication::setApplicationName(QStringLiteral("Caldrin Audit"));
    QApplication::setApplicationVersion(QStringLiteral(CALDRIN_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.caldrin.Audit"));
    QApplication::setWindowIcon(caldrin::applicationIcon());

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Caldrin Audit: observed against expected outcomes in audit data files."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption dateOrder(
        QStringLiteral("date-order"),
        QStringLiteral("How dates of procedure are written: dmy (default), mdy or ymd."),
        QStringLiteral("order"), QStringLiteral("dmy"));
    parser.addOption(dateOrder);
    const QCommandLineOption oddsRatio(
        QStringLiteral("odds-ratio"),
        QStringLiteral("The rise in the odds of the outcome the CUSUM looks for (default 2)."),
        QStringLiteral("R"), QStringLiteral("2"));
    const QCommandLineOption limit(QStringLiteral("limit"),
                                   QStringLiteral("The CUSUM control limit (default: computed)."),
                                   QStringLiteral("H"));
    const QCommandLineOption arl(
        QStringLiteral("arl"),
        QStringLiteral("In-control average run length the limit is computed for (default 10000)."),
        QStringLiteral("N"), QStringLiteral("10000"));
    parser.addOptions({oddsRatio, limit, arl});
    parser.addPositionalArgument(QStringLiteral("files"),
                                 QStringLiteral("Audit data files to open."),
                                 QStringLiteral("[FILE...]"));
    parser.process(app);

    caldrin::auditwindow::AuditSettings settings;
    caldrin::audit::ReadOptions& readOptions = settings.read;
    auto usage = [](const char* text) {
        std::fprintf(stderr, "caldrin-audit-window: %s\n", text);
        return 1;
    };
    const QString order = parser.value(dateOrder).toLower();
    if (order == QLatin1String("mdy")) {
        readOptions.dateOrder = caldrin::audit::DateOrder::MonthDayYear;
    } else if (order == QLatin1String("ymd")) {
        readOptions.dateOrder = caldrin::audit::DateOrder::YearMonthDay;
    } else if (order != QLatin1String("dmy")) {
        return usage("--date-order must be dmy, mdy or ymd");
    }
    bool ok = false;
    settings.oddsRatio = parser.value(oddsRatio).toDouble(&ok);
    if (!ok || !(settings.oddsRatio > 0) || settings.oddsRatio == 1)
        return usage("--odds-ratio must be a number above 0 other than 1");
    if (parser.isSet(limit)) {
        settings.limit = parser.value(limit).toDouble(&ok);
        if (!ok || !(*settings.limit > 0))
            return usage("--limit must be a number above 0");
    }
    settings.targetArl = parser.value(arl).toDouble(&ok);
    if (!ok || !(settings.targetArl >= 1))
        return usage("--arl must be a number of at least 1");

    caldrin::QtPlatform platform;
    readOptions.currentYear = platform.today().year();
    caldrin::auditwindow::QtAuditDialogs dialogs;
    caldrin::auditwindow::AuditWindow window(platform, dialogs, settings);
    window.show();
    window.openFiles(parser.positionalArguments());
    return app.exec();
}
