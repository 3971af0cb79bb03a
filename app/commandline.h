#pragma once

#include <QString>

// What the program settles from its command line before it opens any window,
// so that --help, --version and a missing display need no display at all.
// Everything else on the command line is the main window's to read (/TEST).
namespace caldrin {

enum class CommandLineRequest { RunCalculator, PrintHelp, PrintVersion };

// Only the first argument counts, as it does for /TEST.
CommandLineRequest commandLineRequest(int argc, const char* const* argv);

// Whether a windowing system was named, in the environment or by Qt's own
// -platform argument.
bool displayNamed(int argc, const char* const* argv);

// The --help text, naming where the help file and the help viewer are found
// for a program in `programDirectory`.
QString usageText(const QString& programDirectory);

// While it exists, a display that Qt cannot open ends the program with one
// line on standard error and status 1, where Qt would abort. Messages of a
// start that works are held and passed on when it ends.
class DisplayOpeningGuard {
public:
    DisplayOpeningGuard();
    ~DisplayOpeningGuard();
    DisplayOpeningGuard(const DisplayOpeningGuard&) = delete;
    DisplayOpeningGuard& operator=(const DisplayOpeningGuard&) = delete;
};

} // namespace caldrin
