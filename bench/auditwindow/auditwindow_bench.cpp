// SPDX-License-Identifier: GPL-3.0-or-later
// Usage: auditwindow_bench [FOLDER]   (run with QT_QPA_PLATFORM=offscreen)
//
// 1. A 100,000-record file: milliseconds from openFiles() until the summary
//    tables are on screen, and until the CUSUM limits are in too.
// 2. A 1,000,000-record file: the longest gap between ticks of a 5 ms timer on
//    the window's thread from openFiles() until the figures are complete,
//    i.e. the longest the window could not answer the user.
// Then both again with the ROC chart in view.
// Generated files are kept in FOLDER (default: the system's temporary folder)
// and reused.

#include "auditgenerator.h"
#include "auditwindow/auditdialogs.h"
#include "auditwindow/auditwindow.h"
#include "platform/qtplatform.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTabWidget>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace caldrin;
using namespace caldrin::auditwindow;

namespace {

QString generatedFile(const QString& folder, std::size_t records) {
    const QString path =
        QDir(folder).filePath(QStringLiteral("caldrin-audit-bench-%1.csv").arg(records));
    if (!QFile::exists(path)) {
        std::printf("generating %s\n", qPrintable(path));
        audit::testing::GeneratedAudit options;
        options.records = records;
        options.seed = 11;
        options.repeatShare = 0.02;
        options.unknownOutcomeShare = 0.01;
        if (!audit::testing::writeAuditFile(QFile::encodeName(path).toStdString(), options))
            qFatal("cannot write %s", qPrintable(path));
    }
    return path;
}

struct Run {
    double tablesMs = 0;
    double completeMs = 0;
    double longestStallMs = 0;
    double longestStallWhileReadingMs = 0;
};

Run measure(AuditWindow& window, const QString& path) {
    Run run;
    QElapsedTimer clock;
    QElapsedTimer sinceTick;
    double longest = 0;
    bool tablesShown = false;
    QTimer ticker;
    ticker.setInterval(5);
    QObject::connect(&ticker, &QTimer::timeout, &window, [&] {
        const double gap = static_cast<double>(sinceTick.nsecsElapsed()) / 1e6;
        longest = std::max(longest, gap);
        if (!tablesShown)
            run.longestStallWhileReadingMs = std::max(run.longestStallWhileReadingMs, gap);
        sinceTick.restart();
    });
    QEventLoop loop;
    const auto connection =
        QObject::connect(&window, &AuditWindow::figuresShown, &window, [&](bool complete) {
            if (!tablesShown) {
                tablesShown = true;
                run.tablesMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
            }
            if (complete) {
                run.completeMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
                // Let the window paint what it was given before stopping the watch.
                QTimer::singleShot(200, &loop, &QEventLoop::quit);
            }
        });
    ticker.start();
    sinceTick.start();
    clock.start();
    window.openFiles({path});
    loop.exec();
    ticker.stop();
    QObject::disconnect(connection);
    run.longestStallMs = longest;
    return run;
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("CaldrinBench"));
    QCoreApplication::setApplicationName(QStringLiteral("AuditWindowBench"));
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::tempPath();

    QtPlatform platform;
    QtAuditDialogs dialogs; // never opened
    AuditSettings settings;
    settings.read.currentYear = 2026;
    AuditWindow window(platform, dialogs, settings);
    window.resize(1100, 760);
    window.show();

    const QString small = generatedFile(folder, 100000);
    const QString large = generatedFile(folder, 1000000);

    std::printf("100,000 records (%lld bytes):\n", static_cast<long long>(QFileInfo(small).size()));
    for (int i = 0; i < 3; ++i) {
        const Run run = measure(window, small);
        std::printf(
            "  tables shown after %.0f ms; CUSUM limits in after %.0f ms; longest stall %.1f ms\n",
            run.tablesMs, run.completeMs, run.longestStallMs);
    }
    std::printf("1,000,000 records (%lld bytes):\n",
                static_cast<long long>(QFileInfo(large).size()));
    for (int i = 0; i < 2; ++i) {
        const Run run = measure(window, large);
        std::printf("  tables shown after %.0f ms; complete after %.0f ms\n"
                    "  longest event-loop stall while reading: %.1f ms; until complete: %.1f ms\n",
                    run.tablesMs, run.completeMs, run.longestStallWhileReadingMs,
                    run.longestStallMs);
    }
    // The same with the charts in view: the ROC curve (up to 10,001 points) is drawn.
    window.findChild<QTabWidget*>(QStringLiteral("pages"))->setCurrentIndex(1);
    window.findChild<QTabWidget*>(QStringLiteral("chartTabs"))->setCurrentIndex(1);
    std::printf("With the ROC chart in view:\n");
    for (const QString& path : {small, large}) {
        const Run run = measure(window, path);
        std::printf("  %s: tables shown after %.0f ms; longest stall while reading %.1f ms, "
                    "until complete %.1f ms\n",
                    qPrintable(QFileInfo(path).fileName()), run.tablesMs,
                    run.longestStallWhileReadingMs, run.longestStallMs);
    }
    return 0;
}
