#include "app/program.h"
#include "app/tform1.h"
#include "platform/qtplatform.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    // The desktop shows the running program by this name.
    QCoreApplication::setApplicationName(caldrin::kApplicationTitle);
    // The program ends with its main window, even while other windows are open.
    QApplication::setQuitOnLastWindowClosed(false);

    caldrin::QtPlatform platform;
    caldrin::Program program(platform, app.arguments().mid(1));
    QObject::connect(&program.mainWindow(), &caldrin::TForm1::closed, &app, &QCoreApplication::quit);
    program.showMainWindow();
    return app.exec();
}
