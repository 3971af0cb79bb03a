// SPDX-License-Identifier: GPL-3.0-or-later
// The calculator's own start-up, as main() runs it, quitting as soon as the
// main window is shown.
#include "app/startup.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    caldrin::Startup startup(app);
    QMetaObject::invokeMethod(&app, &QCoreApplication::quit, Qt::QueuedConnection);
    return app.exec();
}
