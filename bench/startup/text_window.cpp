// SPDX-License-Identifier: GPL-3.0-or-later
// The yardstick for the calculator's start-up: the least a text interface
// pays, one window with a label and a line edit, quitting as soon as it is
// shown. Drawing text loads the font database, which is much of any start-up
// and varies with the fonts a machine has, so the yardstick pays it too.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <QWidget>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(new QLabel(QStringLiteral("Name"), &window));
    layout->addWidget(new QLineEdit(&window));
    window.show();
    QMetaObject::invokeMethod(&app, &QCoreApplication::quit, Qt::QueuedConnection);
    return app.exec();
}
