// SPDX-License-Identifier: GPL-3.0-or-later
// "Outcomes to complete" on a 10^6-record file in which most outcomes are not
// yet known (as they are when records are written at the operation): how
// long after the figures the list is filled, and the longest stall of the
// window's event loop on the way.

#include "audit/options.h"
#include "auditgenerator.h"
#include "auditwindow/auditdialogs.h"
#include "auditwindow/auditwindow.h"
#include "platform/qtplatform.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>

#include <algorithm>
#include <cstdio>

using namespace caldrin;
using namespace caldrin::auditwindow;

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("CaldrinBench"));
    QCoreApplication::setApplicationName(QStringLiteral("OutcomesBench"));
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::tempPath();
    const QString path = QDir(folder).filePath(QStringLiteral("caldrin-outcomes-bench.csv"));
    if (!QFile::exists(path)) {
        audit::testing::GeneratedAudit options;
        options.records = 1000000;
        options.seed = 13;
        options.repeatShare = 0.02;
        options.unknownOutcomeShare = 0.6; // each outcome: both unknown in about a third
        if (!audit::testing::writeAuditFile(QFile::encodeName(path).toStdString(), options))
            qFatal("cannot write %s", qPrintable(path));
    }

    QtPlatform platform;
    QtAuditDialogs dialogs; // never opened
    audit::AuditOptions settings;
    settings.read.currentYear = 2026;
    settings.analysis.limit = 4.0; // the list, not the CUSUM simulation, is measured
    AuditWindow window(platform, dialogs, settings);
    window.resize(1100, 760);
    window.show();
    auto* pages = window.findChild<QTabWidget*>(QStringLiteral("pages"));
    pages->setCurrentWidget(window.findChild<QWidget*>(QStringLiteral("outcomesPage")));
    auto* table = window.findChild<QTableView*>(QStringLiteral("outstandingTable"));

    for (int run = 0; run < 2; ++run) {
        QElapsedTimer clock;
        QElapsedTimer sinceTick;
        double longest = 0;
        double figuresMs = 0;
        double listMs = 0;
        QTimer ticker;
        ticker.setInterval(5);
        QObject::connect(&ticker, &QTimer::timeout, &window, [&] {
            longest = std::max(longest, static_cast<double>(sinceTick.nsecsElapsed()) / 1e6);
            sinceTick.restart();
        });
        QEventLoop loop;
        // The list is filled as the figures are shown, in the same call.
        const auto shown = QObject::connect(&window, &AuditWindow::figuresShown, &window, [&] {
            if (figuresMs == 0)
                figuresMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
            if (listMs == 0 && table->model()->rowCount() > 0) {
                listMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
                QTimer::singleShot(300, &loop, &QEventLoop::quit);
            }
        });
        ticker.start();
        sinceTick.start();
        clock.start();
        window.openFiles({path});
        loop.exec();
        QObject::disconnect(shown);
        std::printf("run %d: %d episodes listed; figures at %.0f ms, list at %.0f ms; longest "
                    "event-loop stall %.1f ms\n",
                    run + 1, table->model()->rowCount(), figuresMs, listMs, longest);
    }
    return 0;
}
