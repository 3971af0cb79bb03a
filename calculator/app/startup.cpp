// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/startup.h"

#include "app/mainwindow.h"
#include "app/program.h"
#include "dist/windowicon.h"

#include <QApplication>

namespace caldrin {

Startup::Startup(QApplication& app) {
    // The desktop shows the running program by this name.
    QCoreApplication::setApplicationName(kApplicationTitle);
    // Ties the windows to the desktop entry and the icon installed with it.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.caldrin.Calculator"));
    QApplication::setWindowIcon(applicationIcon());
    // The program ends with its main window, even while other windows are open.
    QApplication::setQuitOnLastWindowClosed(false);

    program_ = std::make_unique<Program>(platform_, QCoreApplication::arguments().mid(1));
    QObject::connect(&program_->mainWindow(), &MainWindow::closed, &app, &QCoreApplication::quit);
    program_->showMainWindow();
}

Startup::~Startup() = default;

} // namespace caldrin
