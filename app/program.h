#pragma once

#include <QStringList>

#include <memory>

namespace caldrin {

class Platform;
class TForm1;

// The program's seven windows, created once, hidden, in a fixed order, and
// connected to each other. They live until the program ends.
class Program {
public:
    Program(Platform& platform, const QStringList& arguments);
    ~Program();

    // Shows the main window, which runs its show handler.
    void showMainWindow();

    TForm1& mainWindow() { return *form1_; }

private:
    std::unique_ptr<TForm1> form1_;
};

} // namespace caldrin
