// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/commandline.h"
#include "app/startup.h"
#include "platform/displayopening.h"

#include <QApplication>

#include <cstdio>
#include <optional>

int main(int argc, char* argv[]) {
    switch (caldrin::commandLineRequest(argc, argv)) {
    case caldrin::CommandLineRequest::PrintVersion:
        std::printf("caldrin %s\n", CALDRIN_VERSION);
        return 0;
    case caldrin::CommandLineRequest::PrintHelp: {
        // Only to learn where the program lies; it opens no display.
        const QCoreApplication core(argc, argv);
        std::fputs(qPrintable(caldrin::usageText(QCoreApplication::applicationDirPath())), stdout);
        return 0;
    }
    case caldrin::CommandLineRequest::RunCalculator:
        break;
    }

    if (!caldrin::displayNamed(argc, argv)) {
        caldrin::reportNoDisplay("caldrin");
        return 1;
    }
    std::optional<caldrin::DisplayOpeningGuard> guard(std::in_place, "caldrin");
    QApplication app(argc, argv);
    guard.reset();

    caldrin::Startup startup(app);
    return app.exec();
}
