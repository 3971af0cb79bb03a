// The calculator's own start-up, as main() runs it, quitting as soon as the
// main window is shown.
#include "app/program.h"
#include "platform/qtplatform.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(caldrin::kApplicationTitle);
    QApplication::setQuitOnLastWindowClosed(false);

    caldrin::QtPlatform platform;
    caldrin::Program program(platform, app.arguments().mid(1));
    program.showMainWindow();
    QMetaObject::invokeMethod(&app, &QCoreApplication::quit, Qt::QueuedConnection);
    return app.exec();
}
