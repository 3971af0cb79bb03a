#pragma once

#include <QStringList>

#include <memory>

namespace caldrin {

class Platform;
class WindowPlacer;
class TForm1;
class TForm2;
class TForm3;
class TForm4;
class TForm5;
class TForm6;
class TForm7;

// The program's seven windows, created once, hidden, in a fixed order, and
// connected to each other. They live until the program ends.
class Program {
public:
    Program(Platform& platform, const QStringList& arguments);
    ~Program();

    // Shows the main window, which runs its show handler.
    void showMainWindow();

    TForm1& mainWindow() { return *form1_; }
    TForm2& physiologicalPage1() { return *form2_; }
    TForm3& physiologicalPage2() { return *form3_; }
    TForm4& operativeDialog() { return *form4_; }
    TForm5& reportWindow() { return *form5_; }
    TForm6& selfTestWindow() { return *form6_; }
    TForm7& detailsDialog() { return *form7_; }

private:
    void connectHelp(Platform& platform);

    std::unique_ptr<TForm1> form1_;
    std::unique_ptr<TForm2> form2_;
    std::unique_ptr<TForm3> form3_;
    std::unique_ptr<TForm4> form4_;
    std::unique_ptr<TForm5> form5_;
    std::unique_ptr<TForm6> form6_;
    std::unique_ptr<TForm7> form7_;
    std::unique_ptr<WindowPlacer> placer_;
};

} // namespace caldrin
