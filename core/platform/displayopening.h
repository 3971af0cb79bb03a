// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What a windowed program settles before it creates its QApplication, so that
// a missing or unreachable display ends it with one line on standard error
// and status 1, where Qt would abort.
namespace caldrin {

// Whether a windowing system was named, in the environment or by Qt's own
// -platform argument.
bool displayNamed(int argc, const char* const* argv);

// The one line for a program started where no display is named.
void reportNoDisplay(const char* programName);

// While it exists, a display that Qt cannot open ends the program with one
// line on standard error, naming `programName`, and status 1. Messages of a
// start that works are held and passed on when it ends.
class DisplayOpeningGuard {
public:
    explicit DisplayOpeningGuard(const char* programName);
    ~DisplayOpeningGuard();
    DisplayOpeningGuard(const DisplayOpeningGuard&) = delete;
    DisplayOpeningGuard& operator=(const DisplayOpeningGuard&) = delete;
};

} // namespace caldrin
