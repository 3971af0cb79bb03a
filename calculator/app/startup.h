// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/qtplatform.h"

#include <memory>

class QApplication;

namespace caldrin {

class Program;

// What the program does before its event loop: names itself to the desktop,
// creates the platform layer and the program's windows, ties the end of the
// program to the main window, and shows it.
class Startup {
public:
    explicit Startup(QApplication& app);
    ~Startup();

private:
    QtPlatform platform_;
    std::unique_ptr<Program> program_;
};

} // namespace caldrin
